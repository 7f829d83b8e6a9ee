#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/Application.h"
#include "core/Diagnostics.h"
#include "platform/QuitOnSignals.h"
#include "platform/SingleInstance.h"

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

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt starts, so that they work without a display.
  SingleInstance::Request request = SingleInstance::Request::Show;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--restart") request = SingleInstance::Request::Restart;
    if (argument == "--version") {
      std::printf("zelbrin-client %s\n", ZELBRIN_VERSION);
      return 0;
    }
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelbrin-client"));
  QApplication::setApplicationVersion(QStringLiteral(ZELBRIN_VERSION));
  QApplication::setOrganizationDomain(QStringLiteral("kestrova.com"));
  // Ties the windows to the desktop entry (icon, name, xdg-activation) on Wayland desktops.
  QGuiApplication::setDesktopFileName(QStringLiteral("zelbrin-client"));
  // A tray agent: closing a window must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

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
