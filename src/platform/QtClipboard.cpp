#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

#include "core/Diagnostics.h"

namespace {
const QString kUtf8Text = QStringLiteral("text/plain;charset=utf-8");
}  // namespace

QtClipboard::QtClipboard(std::size_t limit)
    : x11_(limit, [this] {
        // A text is in: the job monitor looks again. The clipboard itself did not change.
        if (onChangedByOthers_) onChangedByOthers_();
      }) {
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { ++changes_; });
  // Where Qt runs on another platform (Wayland), its clipboard is not the X clipboard the jobs
  // come from: the replies go back on our own X connection.
  if (x11_.usable() && QGuiApplication::platformName() != QLatin1String("xcb")) {
    owner_ = std::make_unique<X11ClipboardOwner>();
    if (owner_->usable()) {
      ourOwner_ = owner_->window();
    } else {
      owner_.reset();
    }
  }
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
  // Qt's own notice of a change can come well after the watch's.
  return changes_ + othersTook_;
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
  // Our own reply, as we serve it.
  if (owner_ && ownedByUs()) return {true, owner_->text(), {}, takenByOthers()};
  // Another program's text comes straight from the X server into one buffer; our own reply, which
  // only our event loop can serve, goes through Qt.
  if (x11_.usable() && !ownedByUs()) {
    // Nobody owns it (for instance between one program letting go and the next taking over):
    // Qt could still answer with what it saw earlier.
    if (x11_.owner() == 0) return {true, std::nullopt, {}, takenByOthers()};
    const std::uint64_t generation = takenByOthers();
    // Every claim, theirs or ours, as the X server has made them: Qt's own notice comes later
    // and would make a text that is already in look out of date.
    const std::uint64_t version = watch_ ? generation + claims_ : changeCount();
    X11ClipboardReader::Result read = x11_.read(version, generation);
    Content content;
    content.answered = read.answered;
    content.text = std::move(read.text);
    content.digest = std::move(read.digest);
    content.generation = read.answered ? read.generation : generation;
    content.ownerStuck = read.ownerStuck;
    return content;
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
  if (owner_) {
    offerOwn(std::nullopt);
    return;
  }
  // Whoever holds it, after this nobody does.
  claim([] { QGuiApplication::clipboard()->clear(QClipboard::Clipboard); },
        [](unsigned owner) { return owner == 0; });
}

void QtClipboard::offerOwn(std::optional<std::string> text) {
  ++changes_;
  ++claims_;
  claiming_ = true;
  owner_->offer(std::move(text));
  claiming_ = false;
}

void QtClipboard::setText(const std::string& text) {
  if (owner_) {
    offerOwn(text);
    return;
  }
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
  ++claims_;
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
  Diagnostics::error() << "the X server did not let us set the clipboard";
  return false;
}
