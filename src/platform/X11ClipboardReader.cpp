#include "platform/X11ClipboardReader.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

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
  return reply ? reply->atom : XCB_ATOM_NONE;
}

// The next event of the wanted kind for our window, or nothing when the time is up.
XcbReply<xcb_generic_event_t> waitForEvent(xcb_connection_t* connection, uint8_t wanted,
                                           Clock::time_point deadline) {
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      XcbReply<xcb_generic_event_t> owned(event);
      if ((event->response_type & 0x7f) == wanted) return owned;
    }
    if (xcb_connection_has_error(connection) != 0) return nullptr;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return nullptr;
    pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(left.count()));
  }
}

// Reads and deletes the transfer property; appends its bytes. False on a protocol error.
bool takeProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                  std::string& into, xcb_atom_t* type = nullptr) {
  const XcbReply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 1, window, property,
                                              XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
                             nullptr));
  if (!reply) return false;
  if (type != nullptr) *type = reply->type;
  const int length = xcb_get_property_value_length(reply.get());
  into.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
              static_cast<std::size_t>(length));
  return true;
}

}  // namespace

X11ClipboardReader::X11ClipboardReader() {
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
  property_ = internAtom(connection, "ZELBRIN_CLIPBOARD");
  incr_ = internAtom(connection, "INCR");
  xcb_flush(connection);
  connection_ = connection;
}

X11ClipboardReader::~X11ClipboardReader() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

X11ClipboardReader::Result X11ClipboardReader::read(std::chrono::milliseconds timeout) {
  Result result;
  if (connection_ == nullptr) return result;
  Clock::time_point deadline = Clock::now() + timeout;
  xcb_delete_property(connection_, window_, property_);
  xcb_convert_selection(connection_, window_, clipboard_, utf8_, property_, XCB_CURRENT_TIME);
  xcb_flush(connection_);

  const auto notify = waitForEvent(connection_, XCB_SELECTION_NOTIFY, deadline);
  if (!notify) return result;
  result.answered = true;
  const auto* selection = reinterpret_cast<const xcb_selection_notify_event_t*>(notify.get());
  if (selection->property == XCB_ATOM_NONE) return result;  // no UTF-8 text on offer

  std::string text;
  xcb_atom_t type = XCB_ATOM_NONE;
  if (!takeProperty(connection_, window_, property_, text, &type)) {
    result.answered = false;
    return result;
  }
  xcb_flush(connection_);
  if (type != incr_) {
    result.text = std::move(text);
    return result;
  }

  // A large transfer: the owner announces a lower bound of the size, then hands over one piece
  // per property change until it writes an empty one.
  std::size_t expected = 0;
  if (text.size() >= 4) {
    uint32_t bound = 0;
    std::memcpy(&bound, text.data(), 4);
    expected = bound;
  }
  text.clear();
  text.reserve(expected);
  for (;;) {
    const auto event = waitForEvent(connection_, XCB_PROPERTY_NOTIFY, deadline);
    if (!event) {
      result.answered = false;
      return result;
    }
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (change->atom != property_ || change->state != XCB_PROPERTY_NEW_VALUE) continue;
    const std::size_t before = text.size();
    if (!takeProperty(connection_, window_, property_, text)) {
      result.answered = false;
      return result;
    }
    xcb_flush(connection_);
    if (text.size() == before) break;
    deadline = Clock::now() + timeout;  // an owner that keeps sending is not stuck
  }
  result.text = std::move(text);
  return result;
}

unsigned X11ClipboardReader::owner() {
  if (connection_ == nullptr) return XCB_NONE;
  const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
  return reply ? reply->owner : XCB_NONE;
}
