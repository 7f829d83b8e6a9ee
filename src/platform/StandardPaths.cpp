#include "platform/StandardPaths.h"

#include <QStandardPaths>
#include <cstdlib>

#include "core/PrivateTempDirectory.h"

StandardPaths::StandardPaths()
    : documents_(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()),
      desktop_(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString()) {}

std::optional<std::string> StandardPaths::temporaryDirectory() const {
  return PrivateTempDirectory::ensure(std::getenv("TMPDIR"));
}
