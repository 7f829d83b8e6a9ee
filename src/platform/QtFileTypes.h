#pragma once

#include "ports/FileTypes.h"

// File types from QMimeDatabase, which reads the desktop's shared-mime-info database.
class QtFileTypes final : public FileTypes {
 public:
  // The content reading looks at the first 16 KiB, as the database does; in a file no longer
  // than that, the zero bytes at its end are left out: a sender fills the last block of an
  // encrypted document with them, and they would make a short text look binary. A file that
  // cannot be read has content of unknown type.
  FileType typeOf(const std::string& path) override;
};
