#include "platform/X11ClipboardReader.h"

#include <xcb/xcb.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/Diagnostics.h"

namespace {

using Clock = std::chrono::steady_clock;

// Events are handled for at most this long in one go: a fast transfer in pieces keeps sending,
// and the rest of the event loop (the tray menu, the windows) must get its turn.
constexpr std::chrono::milliseconds kBatch(10);

template <typename T>
struct FreeDeleter {
  void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
  const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
      nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

uint8_t kind(const xcb_generic_event_t& event) { return event.response_type & 0x7f; }

// Reads the property and deletes it, unless it holds more than `limit` bytes: an owner that
// wrote more than the limit lets in is not read any further (bytes_after tells). Null on a
// protocol error.
XcbReply<xcb_get_property_reply_t> takeProperty(xcb_connection_t* connection, xcb_window_t window,
                                                xcb_atom_t property, std::size_t limit) {
  const auto longs = static_cast<uint32_t>(std::min<std::size_t>(limit / 4 + 1, UINT32_MAX));
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs),
      nullptr));
  // The owner may go on with the next piece while this one is digested.
  xcb_flush(connection);
  return reply;
}

std::string_view valueOf(const xcb_get_property_reply_t& reply) {
  // The library's accessors take a non-const reply.
  auto& mutableReply = const_cast<xcb_get_property_reply_t&>(reply);
  return {static_cast<const char*>(xcb_get_property_value(&mutableReply)),
          static_cast<std::size_t>(xcb_get_property_value_length(&mutableReply))};
}

}  // namespace

X11ClipboardReader::X11ClipboardReader(std::size_t limit, std::function<void()> onFinished,
                                       std::chrono::milliseconds stallLimit,
                                       std::chrono::milliseconds stuckAfter)
    : limit_(limit),
      onFinished_(std::move(onFinished)),
      stallLimit_(stallLimit),
      stuckAfter_(stuckAfter) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  window_ = xcb_generate_id(connection);
  const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
  clipboard_ = internAtom(connection, "CLIPBOARD");
  targets_ = {internAtom(connection, "UTF8_STRING"), XCB_ATOM_STRING,
              internAtom(connection, "TEXT")};
  incr_ = internAtom(connection, "INCR");
  timeProperty_ = internAtom(connection, "ZELBRIN_TIME");
  for (std::size_t i = 0; i < properties_.size(); ++i) {
    properties_[i] = internAtom(connection, ("ZELBRIN_CLIPBOARD_" + std::to_string(i)).c_str());
  }
  xcb_flush(connection);
  connection_ = connection;
  notifier_ =
      std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { handleEvents(); });
  later_.setSingleShot(true);
  later_.setInterval(0);
  connect(&later_, &QTimer::timeout, this, [this] { handleEvents(); });
}

X11ClipboardReader::~X11ClipboardReader() {
  notifier_.reset();
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

X11ClipboardReader::Result X11ClipboardReader::read(std::uint64_t changes,
                                                    std::uint64_t generation) {
  Result result;
  if (connection_ == nullptr || xcb_connection_has_error(connection_) != 0) return result;
  const auto now = Clock::now();
  if (request_ && request_->changes != changes) abandonRequest();
  if (!tries_ || tries_->changes != changes) tries_ = Tries{changes, now};

  if (request_ && request_->step == Step::Finished) {
    result = std::move(request_->result);
    request_.reset();
    tries_.reset();
    return result;
  }
  if (request_ && request_->step == Step::Receiving && now - request_->lastHeard > stallLimit_) {
    // Not looked at: the owner may only be slow to fetch the rest, and is asked again.
    abandonRequest();
    if (!tries_->stalled) {
      Diagnostics::warning() << "the clipboard owner paused in the middle of a transfer for more than "
                         << stallLimit_.count() / 1000.0 << " s; asking again";
    }
    tries_->stalled = true;
  }
  if (!request_) start(changes, generation);
  if (!tries_->reported && now - tries_->since >= stuckAfter_) {
    tries_->reported = true;
    result.ownerStuck = true;
  }
  return result;
}

void X11ClipboardReader::start(std::uint64_t changes, std::uint64_t generation) {
  request_.emplace(changes, generation);
  // ICCCM: a request carries a real time stamp, by which its answer is told from late ones.
  // There is no request for the server's time; a property change on our own window reports it.
  request_->stamp = ++stampsAsked_;
  xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, timeProperty_, XCB_ATOM_INTEGER,
                      32, 0, nullptr);
  xcb_flush(connection_);
}

void X11ClipboardReader::ask(std::size_t target) {
  request_->step = Step::Asking;
  request_->target = target;
  request_->lastHeard = Clock::now();
  xcb_delete_property(connection_, window_, property());
  xcb_convert_selection(connection_, window_, clipboard_, targets_[target], property(),
                        request_->time);
  xcb_flush(connection_);
}

void X11ClipboardReader::abandonRequest() {
  request_.reset();
  current_ = (current_ + 1) % properties_.size();
}

unsigned X11ClipboardReader::owner() {
  if (connection_ == nullptr) return XCB_NONE;
  const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
  // Waiting for the reply may have read events off the socket, which the notifier then does
  // not report.
  if (request_ && !later_.isActive()) later_.start();
  return reply ? reply->owner : XCB_NONE;
}

void X11ClipboardReader::handleEvents() {
  const auto until = Clock::now() + kBatch;
  while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
    if (kind(*event) == XCB_PROPERTY_NOTIFY) {
      const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (change->window == window_) {
        propertyChanged(change->atom, change->state == XCB_PROPERTY_NEW_VALUE, change->time);
      }
    } else if (kind(*event) == XCB_SELECTION_NOTIFY) {
      const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
      if (notify->requestor == window_) {
        selectionNotified(notify->selection, notify->target, notify->property, notify->time);
      }
    }
    if (Clock::now() >= until) {
      later_.start();
      break;
    }
  }
  if (xcb_connection_has_error(connection_) != 0) {
    // The X server went away; there is nothing left to read from.
    notifier_->setEnabled(false);
    request_.reset();
  }
  if (finished_) {
    finished_ = false;
    if (onFinished_) onFinished_();
  }
}

void X11ClipboardReader::propertyChanged(unsigned atom, bool newValue, std::uint32_t time) {
  if (atom == timeProperty_) {
    ++stampsSeen_;
    if (request_ && request_->step == Step::Stamping && request_->stamp == stampsSeen_) {
      request_->time = time;
      ask(0);
    }
  } else if (request_ && request_->step == Step::Receiving && atom == property() && newValue) {
    takePiece();
  }
}

void X11ClipboardReader::selectionNotified(unsigned selection, unsigned target, unsigned property,
                                           std::uint32_t time) {
  if (request_ && request_->step == Step::Asking && selection == clipboard_ &&
      target == targets_[request_->target] && time == request_->time &&
      (property == this->property() || property == XCB_ATOM_NONE)) {
    answered(property);
  } else {
    dropLeftover(property);
  }
}

void X11ClipboardReader::answered(unsigned answer) {
  if (answer == XCB_ATOM_NONE) {
    if (request_->target + 1 < targets_.size()) {
      ask(request_->target + 1);
    } else if (tries_ && tries_->changes == request_->changes && tries_->stalled) {
      // An owner still busy with the transfer we gave up on refuses a new request: that says
      // nothing about the content, which is asked for again on a later read.
      request_.reset();
    } else {
      finish();  // no text on offer
    }
    return;
  }
  const auto reply = takeProperty(connection_, window_, answer, limit_);
  if (!reply) {
    abandonRequest();
    return;
  }
  request_->transfer.emplace(limit_);
  request_->lastHeard = Clock::now();
  if (reply->type == incr_) {
    // A large transfer: the owner announces a lower bound of the size, which is not trusted, and
    // starts once the property is gone (taking it deleted it); then hands over one piece per
    // property change until it writes an empty one.
    request_->step = Step::Receiving;
    return;
  }
  if (reply->bytes_after != 0) {
    xcb_delete_property(connection_, window_, answer);
    xcb_flush(connection_);
    request_->transfer->overLimit();
  } else {
    request_->transfer->addWhole(valueOf(*reply), encodingOf(reply->type));
  }
  finish();
}

void X11ClipboardReader::takePiece() {
  const auto reply = takeProperty(connection_, window_, property(), limit_);
  if (!reply) {
    abandonRequest();
    return;
  }
  request_->lastHeard = Clock::now();
  IncrTransfer& transfer = *request_->transfer;
  if (reply->bytes_after != 0) {
    transfer.overLimit();
  } else {
    transfer.add(valueOf(*reply), encodingOf(reply->type));
  }
  if (transfer.state() != IncrTransfer::State::Receiving) finish();
}

void X11ClipboardReader::finish() {
  Result& result = request_->result;
  result.answered = true;
  result.generation = request_->generation;
  if (request_->transfer) {
    IncrTransfer& transfer = *request_->transfer;
    if (transfer.state() == IncrTransfer::State::OverLimit) {
      // What the owner still sends goes to a property that we no longer read.
      current_ = (current_ + 1) % properties_.size();
      Diagnostics::warning() << "the clipboard offers a text of more than " << (limit_ >> 20)
                         << " MiB; it is not read (ZELBRIN_MAX_JOB_MIB raises the limit)";
      result.skipped = true;
    } else {
      result.text = transfer.takeText();
      result.digest = transfer.digest();
    }
    request_->transfer.reset();
  }
  request_->step = Step::Finished;
  finished_ = true;
}

IncrTransfer::Encoding X11ClipboardReader::encodingOf(unsigned type) const {
  // UTF8_STRING is asked for first and comes as it is; STRING is Latin-1; TEXT may come as either,
  // as its type says, and anything else is taken for Latin-1 as well.
  const unsigned target = targets_[request_->target];
  if (target == targets_[0] || (target == targets_[2] && type == targets_[0])) {
    return IncrTransfer::Encoding::Utf8;
  }
  return IncrTransfer::Encoding::Latin1;
}

void X11ClipboardReader::dropLeftover(unsigned property) {
  if (property == XCB_ATOM_NONE || property == this->property()) return;
  // A late answer to an abandoned request: free what it left on our window, unless it is the
  // start of a transfer in pieces, which deleting it would set going.
  const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
      nullptr));
  if (reply && reply->type != incr_) {
    xcb_delete_property(connection_, window_, property);
    xcb_flush(connection_);
  }
}
