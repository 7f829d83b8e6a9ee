#include <QApplication>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/Application.h"
#include "config/Log.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/Diagnostics.h"
#include "platform/QtTranslation.h"
#include "platform/QuitOnSignals.h"
#include "platform/SingleInstance.h"
#include "platform/StandardPaths.h"

namespace {

constexpr const char* kUsage =
    "Usage: zelbrin-client [--restart] [--help] [--version]\n"
    "\n"
    "Zelbrin Client prints what is printed in a Windows remote-desktop session on the printers\n"
    "of this computer. It runs in the system tray, takes jobs from the remote-desktop clipboard\n"
    "and from ~/Documents/ZbDataDrive, and starts at login. Started while it runs, it opens the\n"
    "running agent's options window.\n"
    "\n"
    "  --restart   restart the running agent (start one when none runs)\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

// Where this user's files are, found the way the running agent finds them.
std::string filesText() {
  const StandardPaths paths;
  const std::string support = XMLUtil::supportFolder(paths.documentsDirectory()) + "/";
  std::string text = "\nFiles:\n";
  const auto add = [&text](std::string_view what, const std::string& path) {
    text.append("  ").append(what).append(path).append("\n");
  };
  add("settings        ", support + TableViewControler::kSettingsFileName);
  add("printer pairs   ", support + XMLUtil::kPairFileName);
  add("log             ", Log(paths).logFilePath());
  add("job folder      ",
      paths.documentsDirectory() + "/" + std::string(TableViewControler::kRedirectedFolderName));
  return text + "\nMessages go to standard error (the desktop session's journal).\n";
}

int refuse(std::string_view what, std::string_view argument) {
  Diagnostics::error() << what << " \"" << argument << "\"";
  std::fputs(kUsage, stderr);
  return 2;
}

// Qt's own messages (its platform plugins among them) get the program's name and a severity too.
void toDiagnostics(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  Diagnostics::Severity severity = Diagnostics::Severity::Error;
  switch (type) {
    case QtDebugMsg:
      severity = Diagnostics::Severity::Debug;
      break;
    case QtInfoMsg:
      severity = Diagnostics::Severity::Info;
      break;
    case QtWarningMsg:
      severity = Diagnostics::Severity::Warning;
      break;
    case QtCriticalMsg:
    case QtFatalMsg:
      break;
  }
  Diagnostics::Line(severity) << qFormatLogMessage(type, context, message).toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
  qInstallMessageHandler(toDiagnostics);
  // Answered before Qt starts, so that they work without a display. Qt's own options (-platform
  // and the like) are refused too: the environment (QT_QPA_PLATFORM...) does the same.
  SingleInstance::Request request = SingleInstance::Request::Show;
  bool help = false;
  bool version = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--restart") {
      request = SingleInstance::Request::Restart;
    } else if (argument == "--version") {
      version = true;
    } else if (argument == "--help" || argument == "-h") {
      help = true;
    } else {
      return refuse(argument.starts_with('-') ? "unknown option" : "unexpected argument", argument);
    }
  }
  if (help) {
    std::fputs(kUsage, stdout);
    std::fputs(filesText().c_str(), stdout);
    return 0;
  }
  if (version) {
    std::printf("zelbrin-client %s\n", ZELBRIN_VERSION);
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelbrin-client"));
  QApplication::setApplicationVersion(QStringLiteral(ZELBRIN_VERSION));
  QApplication::setOrganizationDomain(QStringLiteral("kestrova.com"));
  // Ties the windows to the desktop entry (icon, name, xdg-activation) on Wayland desktops.
  QGuiApplication::setDesktopFileName(QStringLiteral("zelbrin-client"));
  // A tray agent: closing a window must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  // Before any window or notice: they are made in the user's language.
  QtTranslation::load(app);

  // Two agents would carry out every clipboard job twice.
  SingleInstance instance(SingleInstance::runtimeFolder(), SingleInstance::displayName());
  if (!instance.claim(request)) {
    Diagnostics::info() << "already running (pid " << instance.otherPid() << "); "
                        << (request == SingleInstance::Request::Restart
                                ? "it was asked to restart"
                                : "its options window was brought up");
    return 0;
  }
  const QuitOnSignals quitOnSignals;
  int status = 0;
  {
    Application application;
    instance.onAsked([&application](SingleInstance::Request asked) {
      if (asked == SingleInstance::Request::Restart) {
        application.restart();
      } else {
        application.showOptions();
      }
    });
    application.start();
    status = QApplication::exec();
  }
  std::fflush(stdout);
  return status;
}
