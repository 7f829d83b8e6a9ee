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

std::uint64_t QtClipboard::changeCount() const {
  // A new owner is a change even when Qt did not say so.
  if (x11_.usable()) {
    const unsigned owner = x11_.owner();
    if (owner != lastOwner_) {
      lastOwner_ = owner;
      ++changes_;
    }
  }
  return changes_;
}

bool QtClipboard::ownedByUs() const {
  if (!x11_.usable()) return QGuiApplication::clipboard()->ownsClipboard();
  return ourOwner_ != 0 && x11_.owner() == ourOwner_;
}

std::optional<std::string> QtClipboard::text() {
  // Another program's text comes straight from the X server into one buffer; our own reply,
  // which only our event loop can serve, and anything but UTF-8 go through Qt.
  if (x11_.usable() && !ownedByUs()) {
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
  const unsigned before = x11_.usable() ? x11_.owner() : 0;
  QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
  ++changes_;
  // Only a change of owner proves that the X server took our claim.
  if (x11_.usable()) {
    const unsigned after = x11_.owner();
    if (after != before) ourOwner_ = after;
  }
}
