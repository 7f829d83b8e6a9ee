#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
const QString kUtf8Text = QStringLiteral("text/plain;charset=utf-8");
}

QtClipboard::QtClipboard() {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { ++changes_; });
}

std::optional<std::string> QtClipboard::text() {
  // Another program's text comes straight from the X server into one buffer; our own reply,
  // which only our event loop can serve, and anything but UTF-8 go through Qt.
  if (x11_.usable() && !QGuiApplication::clipboard()->ownsClipboard()) {
    X11ClipboardReader::Result read = x11_.read(std::chrono::seconds(5));
    if (read.text) return std::move(read.text);
    if (!read.answered) return std::nullopt;
  }
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr || !data->hasText()) return std::nullopt;
  // A job text can be tens of megabytes: take the UTF-8 bytes as the owner offers them rather
  // than going through UTF-16 and back.
  if (data->hasFormat(kUtf8Text)) {
    const QByteArray bytes = data->data(kUtf8Text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return data->text().toStdString();
}

void QtClipboard::clear() {
  QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
  ++changes_;
}

void QtClipboard::setText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
  ++changes_;
}
