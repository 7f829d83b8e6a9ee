#include "platform/QtFileTypes.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

constexpr qint64 kHead = 16 * 1024;

TypeGuess guessOf(const QMimeType& type) {
  TypeGuess guess{type.name().toStdString(), {}};
  for (const QString& ancestor : type.allAncestors()) {
    guess.ancestors.push_back(ancestor.toStdString());
  }
  return guess;
}

QMimeType contentType(const QMimeDatabase& database, const QString& path) {
  const QFileInfo info(path);
  // Folders and devices get their inode/ types; a FIFO is never opened, it would block.
  if (!info.isFile()) return database.mimeTypeForFile(info, QMimeDatabase::MatchContent);
  QFile file(path);
  QByteArray head;
  if (file.open(QIODevice::ReadOnly)) head = file.read(kHead);
  if (file.error() != QFileDevice::NoError) {
    return database.mimeTypeForName(QStringLiteral("application/octet-stream"));
  }
  if (file.atEnd()) {
    while (!head.isEmpty() && head.back() == '\0') head.chop(1);
  }
  return database.mimeTypeForData(head);
}

}  // namespace

FileType QtFileTypes::typeOf(const std::string& path) {
  const QMimeDatabase database;
  const QString file = QFile::decodeName(QByteArray::fromStdString(path));
  return FileType{
      .byName = guessOf(database.mimeTypeForFile(file, QMimeDatabase::MatchExtension)),
      .byContent = guessOf(contentType(database, file)),
      .combined = guessOf(database.mimeTypeForFile(file, QMimeDatabase::MatchDefault)),
  };
}
