#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <stdexcept>
#include <string>

#include "app/AppDelegate.h"
#include "app/OptionsWindow.h"
#include "config/PrinterPair.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

// The options window as the agent builds it, over a temporary home folder.
class OptionsWindowTest : public ::testing::Test {
 protected:
  OptionsWindowTest() { options.connectTo(controller); }

  void wake() {
    controller.awakeFromNib();
    options.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options.window()));
  }

  template <typename T>
  T& child(const char* name) {
    T* found = options.window().findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *found;
  }
  QCheckBox& box(const char* name) { return child<QCheckBox>(name); }
  QTableWidget& table() { return child<QTableWidget>("theTable"); }
  // On the box's indicator, whatever the label's width.
  static void click(QCheckBox& box) {
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
  }
  void selectRow(int row) {
    const QRect cell = table().visualRect(table().model()->index(row, 0));
    QTest::mouseClick(table().viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
  }
  std::vector<std::string> rows() {
    std::vector<std::string> texts;
    for (int row = 0; row < table().rowCount(); ++row) {
      texts.push_back(table().item(row, 0)->text().toStdString());
    }
    return texts;
  }
  // The folder-redirection sheet, closed with its only button.
  bool closeAlert() {
    auto* alert = options.window().findChild<QMessageBox*>();
    if (alert == nullptr || !alert->isVisible()) return false;
    const bool modalToWindow = alert->windowModality() == Qt::WindowModal;
    QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return modalToWindow;
  }

  std::optional<std::string> value(std::string_view key) const {
    return TableViewControler::GetOptionsValue(paths.documentsDirectory(), key);
  }
  fs::path support() const { return home.path() / "Documents" / "com.kestrova.ZelbrinClient"; }

  TempFolder home;
  FixedPaths paths{home.path()};
  XMLUtil util{paths};
  TableViewControler controller{paths, util};
  OptionsWindow options;
};

// Each box with the key it stores and the state it has in the window as designed.
struct Switch {
  const char* box;
  const char* key;
  bool byDefault;
};
constexpr Switch kSwitches[] = {{"MappedSettings", "MappedSettings", true},
                                {"Dialog", "Dialog", false},
                                {"log", "Log", false},
                                {"RedirectedFolder", "RedirectedFolder", true}};

TEST_F(OptionsWindowTest, BoxesAndButtonsReachTheirActions) {
  wake();
  for (const auto& [name, key, on] : kSwitches) {
    EXPECT_EQ(box(name).isChecked(), on) << name;
    EXPECT_EQ(value(key), on ? "1" : "0") << "the window's first-start state is stored";
    EXPECT_EQ(box(name).property("tag").toInt(), 0) << name;
    click(box(name));
    EXPECT_EQ(value(key), on ? "0" : "1") << name;
  }
  click(box("RedirectedFolder"));
  EXPECT_TRUE(closeAlert()) << "switching on explains the remote-desktop side, on the window";

  util.addElementToXML("Office Laser", "HP");
  util.addElementToXML("Reception", "Canon");
  controller.populateTable();
  selectRow(0);
  selectRow(1);
  EXPECT_EQ(table().selectionModel()->selectedRows().size(), 1) << "one row at a time";
  QTest::mouseClick(&child<QPushButton>("removeButton"), Qt::LeftButton);
  EXPECT_EQ(rows(), PrinterPair(util).SetPrintersName());
  EXPECT_EQ(rows().size(), 1U);
}

TEST_F(OptionsWindowTest, LoadingStoredSwitchesRunsNoAction) {
  writeFile(support() / "ZelbrinSettings.xml",
            "<ZelbrinSettings><Settings RedirectedFolder=\"0\" Log=\"1\" Dialog=\"1\" "
            "MappedSettings=\"0\"/></ZelbrinSettings>");
  wake();
  for (const auto& [name, key, on] : kSwitches) EXPECT_NE(box(name).isChecked(), on) << name;
  EXPECT_FALSE(fs::exists(support() / "ZelbrinLogFile.txt"));
  EXPECT_EQ(options.window().findChild<QMessageBox*>(), nullptr);
}

// The status menu's windows, as the status item shows them.
TEST_F(OptionsWindowTest, TheStatusItemBringsTheOptionsWindowUpFloating) {
  wake();
  options.window().hide();
  QMenu menu;
  QWidget about;
  AppDelegate delegate;
  delegate.connectOutlets({.menuItem = &menu, .optionsWindow = &options.window(), .about = &about});
  delegate.awakeFromNib();
  ASSERT_NE(delegate.statusItem(), nullptr);
  EXPECT_TRUE(QFile::exists(QString::fromLatin1(AppDelegate::kStatusImage)))
      << "the status image is linked into the agent";
  EXPECT_FALSE(delegate.statusItem()->icon().isNull());
  EXPECT_EQ(delegate.statusItem()->contextMenu(), &menu);

  delegate.openOptionWindow();
  EXPECT_TRUE(options.window().isVisible());
  EXPECT_TRUE(options.window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  delegate.openOptionWindow();
  EXPECT_TRUE(options.window().isVisible()) << "asking again keeps the one window up";

  delegate.AboutPanel();
  delegate.AboutPanel();
  EXPECT_TRUE(about.isVisible());
}

}  // namespace
