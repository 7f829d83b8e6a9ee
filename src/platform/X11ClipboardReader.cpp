#include "platform/X11ClipboardReader.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/Diagnostics.h"
#include "core/IncrTransfer.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// The next event, or nothing when the time is up.
XcbReply<xcb_generic_event_t> nextEvent(xcb_connection_t* connection, Clock::time_point deadline) {
  for (;;) {
    if (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      return XcbReply<xcb_generic_event_t>(event);
    }
    if (xcb_connection_has_error(connection) != 0) return nullptr;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return nullptr;
    pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(left.count()));
  }
}

uint8_t kind(const xcb_generic_event_t& event) { return event.response_type & 0x7f; }

// A selection answer sent to our window, or null for any other event.
const xcb_selection_notify_event_t* answerTo(xcb_window_t window,
                                             const xcb_generic_event_t& event) {
  if (kind(event) != XCB_SELECTION_NOTIFY) return nullptr;
  const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(&event);
  return notify->requestor == window ? notify : nullptr;
}

// Reads and deletes the transfer property. Null on a protocol error.
XcbReply<xcb_get_property_reply_t> takeProperty(xcb_connection_t* connection, xcb_window_t window,
                                                xcb_atom_t property) {
  XcbReply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 1, window, property,
                                              XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
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

X11ClipboardReader::X11ClipboardReader(std::size_t limit) : limit_(limit) {
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
  utf8_ = internAtom(connection, "UTF8_STRING");
  incr_ = internAtom(connection, "INCR");
  timeProperty_ = internAtom(connection, "ZELBRIN_TIME");
  for (std::size_t i = 0; i < properties_.size(); ++i) {
    properties_[i] = internAtom(connection, ("ZELBRIN_CLIPBOARD_" + std::to_string(i)).c_str());
  }
  xcb_flush(connection);
  connection_ = connection;
}

X11ClipboardReader::~X11ClipboardReader() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

std::optional<std::uint32_t> X11ClipboardReader::serverTime(Clock::time_point deadline) {
  // There is no request for the server's time; a property change on our own window reports it.
  xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, timeProperty_, XCB_ATOM_INTEGER,
                      32, 0, nullptr);
  xcb_flush(connection_);
  while (const auto event = nextEvent(connection_, deadline)) {
    if (kind(*event) == XCB_PROPERTY_NOTIFY) {
      const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (change->window == window_ && change->atom == timeProperty_) return change->time;
    } else if (const auto* late = answerTo(window_, *event)) {
      dropLeftover(late->property);
    }
  }
  return std::nullopt;
}

void X11ClipboardReader::abandonRequest() {
  pending_.reset();
  current_ = (current_ + 1) % properties_.size();
}

void X11ClipboardReader::dropLeftover(unsigned property) {
  if (property == XCB_ATOM_NONE || property == this->property()) return;
  // A late answer to an abandoned request: free what it left on our window, unless it is the
  // start of a transfer in pieces, which deleting it would set going.
  const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
      nullptr));
  if (reply && reply->type != incr_) xcb_delete_property(connection_, window_, property);
}

X11ClipboardReader::Result X11ClipboardReader::read(std::chrono::milliseconds wait,
                                                    std::uint64_t changes) {
  Result result;
  if (connection_ == nullptr) return result;
  Clock::time_point deadline = Clock::now() + wait;
  if (pending_ && pending_->changes != changes) abandonRequest();
  if (!pending_) {
    // ICCCM: a request carries a real time stamp, by which its answer is told from late ones.
    const std::optional<std::uint32_t> time = serverTime(deadline);
    if (!time) return result;
    xcb_delete_property(connection_, window_, property());
    xcb_convert_selection(connection_, window_, clipboard_, utf8_, property(), *time);
    xcb_flush(connection_);
    pending_ = Request{*time, changes};
  }

  xcb_atom_t answer = XCB_ATOM_NONE;
  for (;;) {
    const auto event = nextEvent(connection_, deadline);
    if (!event) return result;  // still pending: the next call waits for it again
    const auto* notify = answerTo(window_, *event);
    if (notify == nullptr) continue;
    if (notify->selection == clipboard_ && notify->target == utf8_ &&
        notify->time == pending_->time &&
        (notify->property == property() || notify->property == XCB_ATOM_NONE)) {
      answer = notify->property;
      break;
    }
    dropLeftover(notify->property);
  }
  pending_.reset();
  result.answered = true;
  if (answer == XCB_ATOM_NONE) return result;  // no UTF-8 text on offer

  const auto first = takeProperty(connection_, window_, property());
  if (!first) {
    abandonRequest();
    result.answered = false;
    return result;
  }
  IncrTransfer transfer(limit_);
  if (first->type != incr_) {
    transfer.addWhole(valueOf(*first));
    return finish(transfer, std::move(result));
  }

  // A large transfer: the owner announces a lower bound of the size, which is not trusted, then
  // hands over one piece per property change until it writes an empty one.
  deadline = Clock::now() + wait;
  while (transfer.state() == IncrTransfer::State::Receiving) {
    const auto event = nextEvent(connection_, deadline);
    if (!event) {
      // The owner may still send the rest; it goes to a property that we no longer read.
      abandonRequest();
      Diagnostics::say() << "the clipboard owner stopped in the middle of a transfer; its text "
                            "is skipped until the clipboard changes";
      result.skipped = true;
      return result;
    }
    if (const auto* late = answerTo(window_, *event)) dropLeftover(late->property);
    if (kind(*event) != XCB_PROPERTY_NOTIFY) continue;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (change->window != window_ || change->atom != property() ||
        change->state != XCB_PROPERTY_NEW_VALUE) {
      continue;
    }
    const auto piece = takeProperty(connection_, window_, property());
    if (!piece) {
      abandonRequest();
      result.answered = false;
      return result;
    }
    if (transfer.add(valueOf(*piece)) == IncrTransfer::State::OverLimit) abandonRequest();
    deadline = Clock::now() + wait;  // an honest owner that keeps sending is not stuck
  }
  return finish(transfer, std::move(result));
}

X11ClipboardReader::Result X11ClipboardReader::finish(IncrTransfer& transfer, Result result) {
  if (transfer.state() == IncrTransfer::State::OverLimit) {
    Diagnostics::say() << "the clipboard offers a text of more than " << (limit_ >> 20)
                       << " MiB; it is not read (ZELBRIN_MAX_JOB_MIB raises the limit)";
    result.skipped = true;
    return result;
  }
  result.text = transfer.takeText();
  result.digest = transfer.digest();
  return result;
}

unsigned X11ClipboardReader::owner() {
  if (connection_ == nullptr) return XCB_NONE;
  const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
  return reply ? reply->owner : XCB_NONE;
}
