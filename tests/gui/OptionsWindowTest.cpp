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
#include <span>
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
  fs::path logFile() const { return support() / "ZelbrinLogFile.txt"; }

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

TEST_F(OptionsWindowTest, FirstStartWritesTheWindowsDefaultsAndLaterStartsLoadThem) {
  wake();
  for (const auto& [name, key, on] : kSwitches) {
    EXPECT_EQ(box(name).isChecked(), on) << name;
    EXPECT_EQ(value(key), on ? "1" : "0") << key;
    const QVariant tag = box(name).property("tag");
    EXPECT_TRUE(tag.isValid() && tag.toInt() == 0) << name << " carries the tag 0";
  }
}

TEST_F(OptionsWindowTest, LoadingStoredSwitchesRunsNoAction) {
  writeFile(support() / "ZelbrinSettings.xml",
            "<ZelbrinSettings><Settings RedirectedFolder=\"0\" Log=\"1\" Dialog=\"1\" "
            "MappedSettings=\"0\"/></ZelbrinSettings>");
  wake();
  for (const auto& [name, key, on] : kSwitches) EXPECT_NE(box(name).isChecked(), on) << name;
  EXPECT_FALSE(fs::exists(logFile())) << "no redirection entry for a switch that was only loaded";
  EXPECT_EQ(options.window().findChild<QMessageBox*>(), nullptr);
}

TEST_F(OptionsWindowTest, EveryClickWritesItsSwitch) {
  wake();
  for (const auto& [name, key, on] : std::span(kSwitches).first(3)) {
    const std::string before = *value(key);
    click(box(name));
    EXPECT_NE(value(key), before) << name;
    EXPECT_EQ(value(key), box(name).isChecked() ? "1" : "0") << name;
    click(box(name));
    EXPECT_EQ(value(key), before) << name;
  }

  click(box("RedirectedFolder"));
  EXPECT_EQ(value("RedirectedFolder"), "0");
  EXPECT_FALSE(closeAlert()) << "switching off needs no explanation";
  click(box("RedirectedFolder"));
  EXPECT_EQ(value("RedirectedFolder"), "1");
  EXPECT_TRUE(fs::is_directory(home.path() / "Documents" / "ZbDataDrive"));
  EXPECT_TRUE(closeAlert()) << "switching on explains the remote-desktop side, on the window";
}

TEST_F(OptionsWindowTest, ABoxWithAnotherTagIsIgnoredExceptTheLogSwitch) {
  wake();
  box("Dialog").setProperty("tag", 3);
  click(box("Dialog"));
  EXPECT_TRUE(box("Dialog").isChecked());
  EXPECT_EQ(value("Dialog"), "0");

  box("RedirectedFolder").setProperty("tag", 3);
  click(box("RedirectedFolder"));
  EXPECT_EQ(value("RedirectedFolder"), "1");
  EXPECT_FALSE(fs::exists(logFile()));

  box("log").setProperty("tag", 3);
  click(box("log"));
  EXPECT_EQ(value("Log"), "1");
}

TEST_F(OptionsWindowTest, SwitchingTheLogOffDeletesTheLogFile) {
  wake();
  writeFile(logFile(), "\r DocumentName --> report.pdf ");
  click(box("log"));
  EXPECT_TRUE(fs::exists(logFile())) << "switching on deletes nothing";
  click(box("log"));
  EXPECT_FALSE(box("log").isChecked());
  EXPECT_FALSE(fs::exists(logFile()));
  EXPECT_EQ(value("Log"), "0");
  click(box("log"));
  click(box("log"));  // no file to delete: the switch is stored all the same
  EXPECT_EQ(value("Log"), "0");
}

TEST_F(OptionsWindowTest, RemovingAPairTakesItOutOfTableAndFile) {
  util.addElementToXML("Office Laser", "HP=Colour");
  util.addElementToXML("Reception", "Canon");
  util.addElementToXML("2nd Floor", "Brother");
  wake();
  EXPECT_EQ(rows(), (std::vector<std::string>{"OfficeLaser=HP=Colour", "Reception=Canon",
                                              "Printer2ndFloor=Brother"}));

  // One row at a time, however the user clicks.
  selectRow(0);
  selectRow(2);
  table().selectAll();
  EXPECT_EQ(table().selectionModel()->selectedRows().size(), 1);

  QTest::mouseClick(&child<QPushButton>("removeButton"), Qt::LeftButton);
  table().clearSelection();
  QTest::mouseClick(&child<QPushButton>("removeButton"), Qt::LeftButton);
  EXPECT_EQ(table().rowCount(), 2) << "without a selection nothing more goes";
  EXPECT_EQ(controller.numberOfRowsInTableView(), 2U);

  selectRow(0);
  QTest::mouseClick(&child<QPushButton>("removeButton"), Qt::LeftButton);
  EXPECT_FALSE(util.attributExist("OfficeLaser"));
  EXPECT_EQ(rows().size(), 1U);
  EXPECT_EQ(rows(), PrinterPair(util).SetPrintersName()) << "table and file agree";
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
