#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

#include "core/Diagnostics.h"

namespace {
const QString kUtf8Text = QStringLiteral("text/plain;charset=utf-8");
// How long one read waits for the owner. A request left unanswered is waited for again on the
// next read, not made anew, so a remote-desktop client that needs several seconds to fetch a
// large text is still read, a tick or two later; meanwhile an owner that never answers holds up
// the event loop (the tray menu included) for at most this long per tick.
constexpr std::chrono::milliseconds kAnswerWait(1000);
}  // namespace

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

std::uint64_t QtClipboard::takenByOthers() {
  if (watch_) watch_->catchUp();
  return othersTook_;
}

void QtClipboard::takenByAnother() {
  ++othersTook_;
  if (onChangedByOthers_) onChangedByOthers_();
}

void QtClipboard::onChangedByOthers(std::function<void()> onChange) {
  onChangedByOthers_ = std::move(onChange);
  // Ours: our emptying (nobody owns it then), our replies (the owner window Qt answers from is
  // one for the life of the process) and whatever happens while we claim the clipboard.
  watch_ = std::make_unique<X11SelectionWatch>([this](unsigned owner) {
    if (owner != 0 && owner != ourOwner_ && !claiming_) takenByAnother();
  });
  if (watch_->usable()) return;
  watch_.reset();
  // Without X (a Wayland session without XWayland) Qt's own notice is what there is.
  connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard && !claiming_ &&
        !QGuiApplication::clipboard()->ownsClipboard()) {
      takenByAnother();
    }
  });
}

bool QtClipboard::ownedByUs() const {
  if (!x11_.usable()) return QGuiApplication::clipboard()->ownsClipboard();
  return ourOwner_ != 0 && x11_.owner() == ourOwner_;
}

Clipboard::Content QtClipboard::read() {
  // Another program's text comes straight from the X server into one buffer; our own reply,
  // which only our event loop can serve, and anything but UTF-8 go through Qt.
  if (x11_.usable() && !ownedByUs()) {
    // Nobody owns it (for instance between one program letting go and the next taking over):
    // Qt could still answer with what it saw earlier.
    const unsigned owner = x11_.owner();
    if (owner == 0) return {true, std::nullopt, {}, takenByOthers()};
    const std::uint64_t generation = takenByOthers();
    X11ClipboardReader::Result read = x11_.read(kAnswerWait, changeCount());
    if (!read.answered) {
      if (owner != silentOwner_) {
        Diagnostics::say() << "the clipboard owner did not answer; trying again on the "
                              "next tick";
        silentOwner_ = owner;
      }
      return {false, std::nullopt, {}, generation};
    }
    silentOwner_ = 0;
    if (read.text || read.skipped) {
      return {true, std::move(read.text), std::move(read.digest), generation};
    }
  }
  const std::uint64_t generation = takenByOthers();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (data == nullptr || !data->hasText()) return {true, std::nullopt, {}, generation};
  // A job text can be tens of megabytes: take the UTF-8 bytes as the owner offers them rather
  // than going through UTF-16 and back.
  if (data->hasFormat(kUtf8Text)) {
    const QByteArray bytes = data->data(kUtf8Text);
    return {true, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), {},
            generation};
  }
  return {true, data->text().toStdString(), {}, generation};
}

void QtClipboard::clear() {
  // Whoever holds it, after this nobody does.
  claim([] { QGuiApplication::clipboard()->clear(QClipboard::Clipboard); },
        [](unsigned owner) { return owner == 0; });
}

void QtClipboard::setText(const std::string& text) {
  const QString value = QString::fromStdString(text);
  const unsigned before = x11_.usable() ? x11_.owner() : 0;
  const bool claimed =
      claim([&value] { QGuiApplication::clipboard()->setText(value, QClipboard::Clipboard); },
            [this, before](unsigned owner) {
              return owner != 0 && (owner != before || before == ourOwner_);
            });
  if (claimed && x11_.usable()) ourOwner_ = x11_.owner();
}

bool QtClipboard::claim(const std::function<void()>& change,
                        const std::function<bool(unsigned)>& took) {
  ++changes_;
  claiming_ = true;
  const struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{claiming_};
  change();
  if (!x11_.usable()) return true;
  // The X server ignores a claim stamped earlier than the current owner's. Qt stamps with the
  // last server time it has seen, which can lag behind a program that just took the clipboard;
  // letting Qt read the pending notices brings its clock forward.
  for (int attempt = 0; attempt < 20 && !took(x11_.owner()); ++attempt) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    change();
  }
  if (took(x11_.owner())) return true;
  Diagnostics::say() << "the X server did not let us set the clipboard";
  return false;
}
