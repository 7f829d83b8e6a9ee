#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <unistd.h>

#include "app/AppDelegate.h"
#include "app/OpenLocalyServer.h"
#include "app/OptionsWindow.h"
#include "config/PrinterPair.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "documents/DocumentCommands.h"
#include "documents/ServerLogin.h"
#include "platform/CupsPrintSystem.h"
#include "platform/QtFileTypes.h"
#include "platform/QtPrintDialog.h"
#include "platform/QtPrinterPrompt.h"
#include "platform/QtSavePanel.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;

namespace {

template <typename T>
T& child(QWidget& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return *found;
}

// Once a window of type T is up (in the modal loop that shows it), the user does what `user`
// says with it.
template <typename T>
void whenShown(const std::function<void(T&)>& user) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, user] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* shown = qobject_cast<T*>(widget);
      if (shown == nullptr || !shown->isVisible()) continue;
      poll->stop();
      poll->deleteLater();
      user(*shown);
      return;
    }
  });
  poll->start(20);
}

// The windows as the agent builds them, over a temporary home folder: wiring only, the logic
// behind each action is tested below them.
class WindowsTest : public ::testing::Test {
 protected:
  WindowsTest() { options.connectTo(controller); }
  void wake() {
    controller.awakeFromNib();
    options.window().show();
    options.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&options.window()));
  }
  QCheckBox& box(const char* name) { return child<QCheckBox>(options.window(), name); }
  QTableWidget& table() { return child<QTableWidget>(options.window(), "theTable"); }
  void click(QCheckBox& box) {
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
  }
  std::optional<std::string> value(std::string_view key) const {
    return TableViewControler::GetOptionsValue(paths.documentsDirectory(), key);
  }
  // Runs the prompt; once its modal loop is up, the user does what `user` says.
  PrinterPrompt::Answer answerPrompt(const std::function<void()>& user) {
    QTimer::singleShot(0, &prompt.HUDp(), user);
    return prompt.run();
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  XMLUtil util{paths};
  TableViewControler controller{paths, util};
  OptionsWindow options;
  QtPrinterPrompt prompt;
};

// Each box, the switch it stores and its state in the window as designed.
constexpr std::tuple<const char*, const char*, bool> kSwitches[] = {
    {"MappedSettings", "MappedSettings", true},
    {"Dialog", "Dialog", false},
    {"log", "Log", false},
    {"RedirectedFolder", "RedirectedFolder", true}};

TEST_F(WindowsTest, OptionsWindowBoxesAndButtonsReachTheirActions) {
  wake();
  for (const auto& [name, key, on] : kSwitches) {
    EXPECT_EQ(value(key), on ? "1" : "0") << "the window's first-start state is stored";
    EXPECT_EQ(box(name).property("tag").toInt(), 0) << name;
    click(box(name));
    EXPECT_EQ(value(key), on ? "0" : "1") << name;
  }
  click(box("RedirectedFolder"));
  auto* alert = options.window().findChild<QMessageBox*>();
  ASSERT_TRUE(alert != nullptr && alert->isVisible()) << "switching on explains the remote side";
  EXPECT_EQ(alert->windowModality(), Qt::WindowModal) << "a sheet on the window";
  QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);

  util.addElementToXML("Office Laser", "HP");
  util.addElementToXML("Reception", "Canon");
  util.addElementToXML("Lobby", "Epson");
  controller.populateTable();
  auto& remove = child<QPushButton>(options.window(), "removeButton");
  EXPECT_FALSE(remove.isEnabled()) << "no pair selected";
  table().selectRow(0);
  QTest::mouseClick(&remove, Qt::LeftButton);
  EXPECT_EQ(table().rowCount(), 2);
  table().clearSelection();
  EXPECT_FALSE(remove.isEnabled());
  table().selectRow(0);
  table().setFocus();
  QTest::keyClick(&table(), Qt::Key_Delete);
  EXPECT_EQ(table().rowCount(), 1);
  EXPECT_EQ(PrinterPair(util).SetPrintersName().size(), 1U);
  QTest::keyClick(&table(), Qt::Key_Escape);
  EXPECT_FALSE(options.window().isVisible());
}

TEST_F(WindowsTest, StatusItemBringsTheOptionsWindowUpFloating) {
  QMenu menu;
  QWidget about;
  AppDelegate delegate{paths};
  delegate.connectOutlets({.menuItem = &menu, .optionsWindow = &options.window(), .about = &about});
  delegate.awakeFromNib();
  ASSERT_NE(delegate.statusItem(), nullptr);
  EXPECT_FALSE(delegate.statusItem()->icon().isNull()) << "the status image is linked in";
  delegate.openOptionWindow();
  EXPECT_TRUE(options.window().isVisible());
  EXPECT_TRUE(options.window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  delegate.AboutPanel();
  EXPECT_TRUE(about.isVisible());
  EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint))
      << "opened after the options window, at its level: never behind it";
  delegate.showActivity("Last job: Tom & Jerry.pdf");
  const QAction* activity = menu.actions().first();
  EXPECT_FALSE(activity->isEnabled());
  EXPECT_EQ(activity->text(), "Last job: Tom && Jerry.pdf") << "a document's & is no mnemonic";
}

TEST_F(WindowsTest, PrinterPromptNamesTheServerPrinterAndAnswers) {
  QWidget& window = prompt.HUDp();
  auto& list = child<QComboBox>(window, "printersList");
  prompt.setPrinters({"Office Laser", "Brother HL"});
  prompt.describeJob("Report.pdf", "Brother HL");
  prompt.prepare("Zebra ZD420", "Brother HL");
  EXPECT_EQ(list.currentIndex(), 1);
  const QString text = child<QLabel>(window, "promptText").text();
  EXPECT_TRUE(text.contains("Report.pdf") && text.contains("Zebra ZD420")) << text.toStdString();
  EXPECT_EQ(child<QLabel>(window, "printersLabel").buddy(), &list) << "what screen readers name";
  EXPECT_EQ(list.itemText(0), "Office Laser");
  EXPECT_NE(list.itemText(1), "Brother HL") << "the default printer is marked";
  EXPECT_FALSE(child<QPushButton>(window, "restart").toolTip().isEmpty());
  bool modal = false;
  const auto answer = answerPrompt([&] {
    modal = window.isVisible() && window.isModal();
    QTest::mouseClick(&child<QPushButton>(window, "okButton"), Qt::LeftButton);
  });
  EXPECT_TRUE(modal);
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(answer.selected, "Brother HL") << "the printer's name, without its mark";
  const auto cancelled = answerPrompt([&] {
    QTest::mouseClick(&child<QPushButton>(window, "cancelButtonPrinterPair"), Qt::LeftButton);
  });
  EXPECT_TRUE(cancelled.cancelled);
}

TEST_F(WindowsTest, ServerOptionsGiveTheirLoginToTheirServerOnly) {
  ServerLogin login;
  OpenLocalyServer server;
  server.connectTo(login);
  server.ServerOptionsOpenLocaly();
  EXPECT_TRUE(server.serverOptionsWindow().isVisible());
  QTest::keyClicks(&server.tbServerURL(), "\\\\Files\\docs");
  QTest::keyClicks(&server.tbUsername(), "ann");
  QTest::keyClicks(&server.tbPassword(), "s3cret");
  EXPECT_EQ(server.tbPassword().echoMode(), QLineEdit::Password);
  EXPECT_EQ(login.forHost("files").value_or(ShareLogin{}).password, "s3cret");
}

// The print dialog of a job, on the private CUPS: it spans the document, lists the printers by
// the names the prompt and the pairs use, and the queue behind the name chosen is the choice.
TEST_F(WindowsTest, PrintDialogSpansTheDocumentAndNamesPrintersAsUsersKnowThem) {
  CupsPrintSystem cups;
  QtPrintDialog dialog([&](const std::string& name) { return cups.queueFor(name); },
                       [&](const std::string& queue) { return cups.printerOfQueue(queue); });
  RecordingProgress progress;
  PrinterProcess printing({cups, dialog, progress, paths});
  const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>";
  PrinterProcess::ClipboardPrint request;
  const std::string pdf =
      pdfOf("<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>", {page, page, page});
  request.document = pdf;
  request.dialog = true;
  request.collate = "false";
  std::pair<int, int> range;
  QStringList names;
  whenShown<QPrintDialog>([&](QPrintDialog& shown) {
    if (auto* to = shown.findChild<QSpinBox*>("to")) range = {to->value(), to->maximum()};
    if (auto* list = shown.findChild<QComboBox*>("printerNames")) {
      for (int i = 0; i < list->count(); ++i) names << list->itemText(i);
    }
    shown.reject();
  });
  JobValues job;
  printing.printClipboardDocument(request, job);
  EXPECT_EQ(range, std::pair(3, 3));
  EXPECT_TRUE(names.contains("Office Tray Printer") && !names.contains("zelbrin-tray"))
      << names.join(", ").toStdString();

  whenShown<QPrintDialog>([](QPrintDialog& shown) {
    if (auto* list = shown.findChild<QComboBox*>("printerNames")) {
      list->setCurrentIndex(list->findText("Raw Capture"));
    }
    shown.accept();
  });
  const std::optional<PrintDialogChoice> choice = dialog.run(PrintDialogRequest{});
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->printerName, "zelbrin-raw");
}

// The save panel opens where the user last saved, unless that is the folder jobs arrive in (or
// another folder of the agent's own).
TEST_F(WindowsTest, SavePanelOpensWhereTheUserLastSavedNeverInTheJobFolder) {
  const fs::path outside =
      fs::path(QDir::homePath().toStdString()) / ("saves-" + std::to_string(::getpid()));
  const struct Cleanup {
    fs::path path;
    ~Cleanup() { fs::remove_all(path); }
  } cleanup{outside};
  const FixedPaths home{outside};
  const fs::path letters = outside / "Letters";
  const fs::path drive = outside / "Documents" / "ZbDataDrive";
  fs::create_directories(letters);
  fs::create_directories(drive);
  QtSavePanel panel;
  RecordingWorkspace workspace;
  QtFileTypes fileTypes;
  DocumentCommands documents{panel, workspace, fileTypes, home};
  // Saves a document in the folder; says where the panel opened.
  const auto saveIn = [&](const fs::path& folder, const std::string& name) {
    std::string opened;
    whenShown<QFileDialog>([&](QFileDialog& shown) {
      opened = shown.directory().absolutePath().toStdString();
      shown.selectFile(QString::fromStdString((folder / name).string()));
      static_cast<QDialog&>(shown).accept();  // as the Save button does
    });
    if (const auto path = documents.choosePlace(name)) documents.save(*path, "aGVsbG8=");
    return opened;
  };
  saveIn(letters, "a.pdf");
  EXPECT_EQ(saveIn(drive, "b.pdf"), letters.string());
  EXPECT_TRUE(fs::exists(drive / "b.pdf"));
  EXPECT_NE(saveIn(letters, "c.pdf"), drive.string());
}

}  // namespace
