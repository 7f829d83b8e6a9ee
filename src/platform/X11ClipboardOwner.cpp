#include "platform/X11ClipboardOwner.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <QSocketNotifier>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/Diagnostics.h"

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

}  // namespace

X11ClipboardOwner::X11ClipboardOwner() {
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
  targets_ = internAtom(connection, "TARGETS");
  utf8_ = internAtom(connection, "UTF8_STRING");
  text_atom_ = internAtom(connection, "TEXT");
  plain_ = internAtom(connection, "text/plain");
  plainUtf8_ = internAtom(connection, "text/plain;charset=utf-8");
  timeProperty_ = internAtom(connection, "ZELBRIN_OWNER_TIME");
  xcb_flush(connection);
  connection_ = connection;
  notifier_ =
      std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

X11ClipboardOwner::~X11ClipboardOwner() {
  notifier_.reset();
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

std::uint32_t X11ClipboardOwner::serverTime() {
  // ICCCM: a claim carries a real time stamp; a property change on our own window reports one.
  xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, timeProperty_, XCB_ATOM_INTEGER,
                      32, 0, nullptr);
  xcb_flush(connection_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < deadline) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
      const uint8_t kind = event->response_type & 0x7f;
      if (kind == XCB_PROPERTY_NOTIFY) {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->window == window_ && change->atom == timeProperty_) return change->time;
      } else if (kind == XCB_SELECTION_REQUEST) {
        answer(event);
      }
    }
    if (xcb_connection_has_error(connection_) != 0) return XCB_CURRENT_TIME;
    pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&descriptor, 1, 50);
  }
  return XCB_CURRENT_TIME;
}

bool X11ClipboardOwner::offer(std::optional<std::string> text) {
  if (connection_ == nullptr) return false;
  const std::uint32_t time = serverTime();
  const xcb_window_t owner = text ? window_ : XCB_NONE;
  xcb_set_selection_owner(connection_, owner, clipboard_, time);
  xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr);
  const bool taken = reply != nullptr && reply->owner == owner;
  std::free(reply);
  if (!taken) {
    Diagnostics::error() << "the X server did not let us set the clipboard";
    return false;
  }
  since_ = time;
  text_ = std::move(text);
  return true;
}

void X11ClipboardOwner::readEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
    const uint8_t kind = event->response_type & 0x7f;
    if (kind == XCB_SELECTION_REQUEST) {
      answer(event);
    } else if (kind == XCB_SELECTION_CLEAR) {
      text_.reset();  // another program took it
    }
  }
  if (xcb_connection_has_error(connection_) != 0) notifier_->setEnabled(false);
}

void X11ClipboardOwner::answer(const void* event) {
  const auto* request = static_cast<const xcb_selection_request_event_t*>(event);
  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request->time;
  notify.requestor = request->requestor;
  notify.selection = request->selection;
  notify.target = request->target;
  notify.property = XCB_ATOM_NONE;  // refused, unless served below
  // Obsolete clients name no property: the target is the property then.
  const xcb_atom_t property = request->property != XCB_ATOM_NONE ? request->property
                                                                 : request->target;
  const bool ours = text_ && request->owner == window_ && request->selection == clipboard_ &&
                    (request->time == XCB_CURRENT_TIME || request->time >= since_);
  if (ours && request->target == targets_) {
    const std::vector<xcb_atom_t> targets{targets_,   utf8_,  XCB_ATOM_STRING,
                                          text_atom_, plain_, plainUtf8_};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request->requestor, property,
                        XCB_ATOM_ATOM, 32, static_cast<uint32_t>(targets.size()), targets.data());
    notify.property = property;
  } else if (ours && (request->target == utf8_ || request->target == XCB_ATOM_STRING ||
                      request->target == text_atom_ || request->target == plain_ ||
                      request->target == plainUtf8_)) {
    // Our replies are a few bytes of ASCII, which every one of these types holds as they are.
    const xcb_atom_t type = request->target == XCB_ATOM_STRING ? xcb_atom_t{XCB_ATOM_STRING} : utf8_;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request->requestor, property, type, 8,
                        static_cast<uint32_t>(text_->size()), text_->data());
    notify.property = property;
  }
  xcb_send_event(connection_, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&notify));
  xcb_flush(connection_);
}
