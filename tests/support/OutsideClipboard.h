#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <string>

#include "support/AgentProcess.h"

// What another program reads from the clipboard. This process may own it, so its event loop
// must keep serving the selection while xclip waits for it.
inline std::string clipboardFromOutside(int* status = nullptr) {
  QProcess xclip;
  xclip.start(QStringLiteral("xclip"),
              {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
  waitFor(
      [&] {
        QCoreApplication::processEvents();
        return xclip.waitForFinished(10) || xclip.state() == QProcess::NotRunning;
      },
      std::chrono::seconds(5));
  if (status != nullptr) {
    *status = xclip.exitStatus() == QProcess::NormalExit ? xclip.exitCode() : -1;
  }
  return xclip.readAllStandardOutput().toStdString();
}
