#include "platform/WaylandClipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/Diagnostics.h"
#include "platform/PipeTextWriter.h"
#include "platform/WaylandDataControl.h"

namespace {

using Clock = std::chrono::steady_clock;

// What we read, best first, and what our replies offer. STRING is X11's Latin-1 text, as
// XWayland passes it on; the others are taken as UTF-8, which is what programs write today.
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain",
                                      "TEXT", "STRING"};
constexpr std::string_view kLatin1Type = "STRING";
// Marks the offers of our own sources: the compositor announces our replies like anyone's.
constexpr const char* kOursType = "application/x-zelbrin-reply";

// How long takenByOthers() waits for the compositor's confirmation at most; it takes well under
// a millisecond where the compositor is alive.
constexpr std::chrono::milliseconds kCatchUpLimit(200);

bool has(const std::vector<std::string>& types, std::string_view type) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

}  // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect(std::size_t limit,
                                                            std::chrono::milliseconds stuckAfter) {
  std::unique_ptr<WaylandClipboard> clipboard(new WaylandClipboard(limit, stuckAfter));
  if (!clipboard->open()) return nullptr;
  return clipboard;
}

WaylandClipboard::WaylandClipboard(std::size_t limit, std::chrono::milliseconds stuckAfter)
    : limit_(limit), stuckAfter_(stuckAfter) {}

WaylandClipboard::~WaylandClipboard() {
  readable_.reset();
  writable_.reset();
  receive_.reset();
  if (display_ == nullptr) return;
  dropOffer();
  for (auto& [offer, types] : introduced_) WaylandDataControl::destroy(offer);
  for (auto& [source, text] : sources_) WaylandDataControl::destroy(source);
  if (device_ != nullptr) WaylandDataControl::destroy(device_);
  if (manager_ != nullptr) WaylandDataControl::destroyManager(manager_);
  if (seat_ != nullptr) wl_proxy_destroy(seat_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
}

bool WaylandClipboard::open() {
  // Only the display named: without one, libwayland would try a default name.
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  display_ = wl_display_connect(name);
  if (display_ == nullptr) return false;

  static const wl_registry_listener registryEvents{
      [](void* self, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t) {
        auto& clipboard = *static_cast<WaylandClipboard*>(self);
        if (std::strcmp(interface, "wl_seat") == 0 && clipboard.seatName_ == 0) {
          clipboard.seatName_ = name;
        }
        for (const WaylandDataControl& protocol : WaylandDataControl::all()) {
          if (protocol.managerName() != interface) continue;
          // The list is best first: a protocol found earlier in it stays.
          if (clipboard.protocol_ == nullptr || &protocol < clipboard.protocol_) {
            clipboard.protocol_ = &protocol;
            clipboard.managerName_ = name;
          }
        }
      },
      [](void*, wl_registry*, std::uint32_t) {}};
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &registryEvents, this);
  if (wl_display_roundtrip(display_) < 0) return false;
  if (protocol_ == nullptr || seatName_ == 0) {
    Diagnostics::info() << "the Wayland compositor offers no data control"
                       << (seatName_ == 0 ? " and no seat" : "")
                       << "; its clipboard is reached another way";
    return false;
  }

  static const WaylandDataControl::DeviceEvents deviceEvents{
      [](void* self, wl_proxy*, wl_proxy* offer) {
        static const WaylandDataControl::OfferEvents offerEvents{
            [](void* self, wl_proxy* offer, const char* type) {
              static_cast<WaylandClipboard*>(self)->introduced_[offer].emplace_back(type);
            }};
        static_cast<WaylandClipboard*>(self)->introduced_[offer];
        WaylandDataControl::listen(offer, offerEvents, self);
      },
      [](void* self, wl_proxy*, wl_proxy* offer) {
        static_cast<WaylandClipboard*>(self)->selectionChanged(offer);
      },
      [](void* self, wl_proxy* device) {
        auto& clipboard = *static_cast<WaylandClipboard*>(self);
        Diagnostics::error() << "the Wayland compositor ended our clipboard access (the seat went "
                              "away); the clipboard is not read any more";
        WaylandDataControl::destroy(device);
        clipboard.device_ = nullptr;
        clipboard.receive_.reset();
      },
      [](void* self, wl_proxy*, wl_proxy* offer) {
        // The primary selection (what is marked with the mouse) carries no jobs.
        if (offer == nullptr) return;
        static_cast<WaylandClipboard*>(self)->introduced_.erase(offer);
        WaylandDataControl::destroy(offer);
      }};
  manager_ = protocol_->bindManager(registry_, managerName_);
  seat_ = static_cast<wl_proxy*>(wl_registry_bind(registry_, seatName_, &wl_seat_interface, 1));
  device_ = protocol_->getDevice(manager_, seat_);
  WaylandDataControl::listen(device_, deviceEvents, this);
  // The compositor answers with the selection it has now: what was there before our start.
  if (wl_display_roundtrip(display_) < 0 || broken()) return false;
  started_ = true;

  const int fd = wl_display_get_fd(display_);
  readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(readable_.get(), &QSocketNotifier::activated, this, [this] { dispatch(); });
  writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
  writable_->setEnabled(false);
  QObject::connect(writable_.get(), &QSocketNotifier::activated, this, [this] { flush(); });
  return true;
}

bool WaylandClipboard::broken() const {
  return display_ == nullptr || device_ == nullptr || wl_display_get_error(display_) != 0;
}

void WaylandClipboard::dispatch() {
  if (display_ == nullptr) return;
  // Events the library has read already first, then whatever the socket holds now.
  bool prepared = false;
  while (wl_display_get_error(display_) == 0 &&
         !(prepared = wl_display_prepare_read(display_) == 0)) {
    wl_display_dispatch_pending(display_);
  }
  if (prepared) {
    pollfd socket{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&socket, 1, 0) > 0) {
      wl_display_read_events(display_);
    } else {
      wl_display_cancel_read(display_);
    }
    wl_display_dispatch_pending(display_);
  }
  flush();
  // The socket stays readable once the compositor has gone: the notifier must stop.
  if (wl_display_get_error(display_) != 0 && readable_ && readable_->isEnabled()) {
    Diagnostics::error() << "lost the connection to the Wayland compositor ("
                       << std::strerror(wl_display_get_error(display_))
                       << "); the clipboard is not read any more";
    readable_->setEnabled(false);
    writable_->setEnabled(false);
    receive_.reset();
  }
}

void WaylandClipboard::flush() {
  // A full socket takes the rest when it has room again.
  const bool full = wl_display_flush(display_) < 0 && errno == EAGAIN;
  if (writable_) writable_->setEnabled(full);
}

void WaylandClipboard::selectionChanged(wl_proxy* offer) {
  std::vector<std::string> types;
  if (const auto introduced = introduced_.find(offer); introduced != introduced_.end()) {
    types = std::move(introduced->second);
    introduced_.erase(introduced);
  }
  dropOffer();
  ++changes_;
  // Once another program has taken the selection, a source of ours is cancelled before the new
  // selection is announced: an offer with our mark is ours only while a source of ours is left.
  ours_ = offer != nullptr && !sources_.empty() && has(types, kOursType);
  if (ours_) {
    WaylandDataControl::destroy(offer);
    return;
  }
  offer_ = offer;
  offerTypes_ = std::move(types);
  // The selection at our start was nobody's doing since.
  if (!started_) return;
  ++othersTook_;
  if (onChangedByOthers_) onChangedByOthers_();
}

void WaylandClipboard::dropOffer() {
  // A text under way comes through a pipe that is closed here; its writer sees it go.
  receive_.reset();
  if (offer_ != nullptr) WaylandDataControl::destroy(offer_);
  offer_ = nullptr;
  offerTypes_.clear();
}

Clipboard::Content WaylandClipboard::read() {
  dispatch();
  Content content;
  content.generation = othersTook_;
  if (broken()) return content;
  if (ours_) {
    content.text = *text_;
    return content;
  }
  const auto type = std::find_if(std::begin(kTextTypes), std::end(kTextTypes),
                                 [this](const char* type) { return has(offerTypes_, type); });
  if (offer_ == nullptr || type == std::end(kTextTypes)) return content;
  if (!receive_) {
    // Where no pipe can be had, the next read tries again.
    startReceive(*type);
    content.answered = false;
    return content;
  }
  content.generation = receive_->generation;
  IncrTransfer& transfer = receive_->reader->transfer();
  if (transfer.state() == IncrTransfer::State::Receiving) {
    content.answered = false;
    if (!receive_->reported && Clock::now() - receive_->since >= stuckAfter_) {
      receive_->reported = true;
      content.ownerStuck = true;
    }
    return content;
  }
  // Handed out once: the text can be tens of megabytes, and a later read takes it anew.
  if (transfer.state() == IncrTransfer::State::Complete) {
    content.text = transfer.takeText();
    content.digest = transfer.digest();
  }
  receive_.reset();
  return content;
}

void WaylandClipboard::startReceive(const char* type) {
  int ends[2];
  // The owner's end blocks, as owners expect; ours must not.
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    Diagnostics::error() << "cannot make a pipe to read the clipboard: " << std::strerror(errno);
    return;
  }
  ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
  // A larger pipe lets the owner write more between our turns: fewer wake-ups for a large job.
  // Best effort; the default size works, only slower.
  ::fcntl(ends[0], F_SETPIPE_SZ, 1 << 20);
  WaylandDataControl::receive(offer_, type, ends[1]);
  ::close(ends[1]);
  flush();
  receive_.emplace(othersTook_);
  const auto encoding =
      type == kLatin1Type ? IncrTransfer::Encoding::Latin1 : IncrTransfer::Encoding::Utf8;
  receive_->reader.emplace(ends[0], limit_, encoding, [this] { received(); });
}

void WaylandClipboard::received() {
  if (receive_->reader->transfer().state() == IncrTransfer::State::OverLimit) {
    Diagnostics::warning() << "the clipboard offers a text of more than " << (limit_ >> 20)
                       << " MiB; it is not read (ZELBRIN_MAX_JOB_MIB raises the limit)";
  }
  if (onChangedByOthers_) onChangedByOthers_();
}

void WaylandClipboard::clear() { setText(""); }

void WaylandClipboard::setText(const std::string& text) {
  ++changes_;
  if (broken()) return;
  static const WaylandDataControl::SourceEvents sourceEvents{
      [](void* self, wl_proxy* source, const char*, std::int32_t fd) {
        auto& clipboard = *static_cast<WaylandClipboard*>(self);
        PipeTextWriter::start(&clipboard, fd, clipboard.sources_.at(source));
      },
      [](void* self, wl_proxy* source) {
        static_cast<WaylandClipboard*>(self)->sources_.erase(source);
        WaylandDataControl::destroy(source);
      }};
  wl_proxy* source = protocol_->createSource(manager_);
  for (const char* type : kTextTypes) WaylandDataControl::offer(source, type);
  WaylandDataControl::offer(source, kOursType);
  WaylandDataControl::listen(source, sourceEvents, this);
  text_ = std::make_shared<const std::string>(text);
  sources_.emplace(source, text_);
  WaylandDataControl::setSelection(device_, source);
  flush();
  // Ours from now on as far as reads go, unless the compositor announces another program's
  // selection after all: one set before ours reached it.
  dropOffer();
  ours_ = true;
}

std::uint64_t WaylandClipboard::takenByOthers() {
  if (broken()) return othersTook_;
  // The compositor answers a sync once it has sent everything before it.
  bool done = false;
  static const wl_callback_listener syncEvents{
      [](void* done, wl_callback*, std::uint32_t) { *static_cast<bool*>(done) = true; }};
  wl_callback* sync = wl_display_sync(display_);
  wl_callback_add_listener(sync, &syncEvents, &done);
  const auto until = Clock::now() + kCatchUpLimit;
  for (dispatch(); !done && !broken(); dispatch()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) break;
    pollfd socket{wl_display_get_fd(display_), POLLIN, 0};
    ::poll(&socket, 1, static_cast<int>(left.count()));
  }
  // An answer that comes later is dropped by the library.
  wl_callback_destroy(sync);
  return othersTook_;
}

void WaylandClipboard::onChangedByOthers(std::function<void()> onChange) {
  onChangedByOthers_ = std::move(onChange);
}
