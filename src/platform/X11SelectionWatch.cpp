#include "platform/X11SelectionWatch.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>

#include "core/Diagnostics.h"

X11SelectionWatch::X11SelectionWatch(std::function<void(unsigned)> onNewOwner)
    : onNewOwner_(std::move(onNewOwner)) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const xcb_query_extension_reply_t* xfixes =
      xcb_connection_has_error(connection) == 0 ? xcb_get_extension_data(connection, &xcb_xfixes_id)
                                                : nullptr;
  // The extension must be told which version we speak before it sends anything.
  xcb_xfixes_query_version_reply_t* version =
      xfixes != nullptr && xfixes->present != 0
          ? xcb_xfixes_query_version_reply(
                connection,
                xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION,
                                         XCB_XFIXES_MINOR_VERSION),
                nullptr)
          : nullptr;
  if (version == nullptr) {
    Diagnostics::warning() << "the X server offers no XFixes; clipboard jobs are looked for once a "
                          "second";
    xcb_disconnect(connection);
    return;
  }
  std::free(version);
  firstEvent_ = xfixes->first_event;

  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_window_t window = xcb_generate_id(connection);
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
  constexpr char kClipboard[] = "CLIPBOARD";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof kClipboard - 1, kClipboard), nullptr);
  if (atom == nullptr) {
    xcb_disconnect(connection);
    return;
  }
  // A new owner, and the owner's window or client going away (the clipboard then is empty).
  xcb_xfixes_select_selection_input(connection, window, atom->atom,
                                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  std::free(atom);
  xcb_flush(connection);
  connection_ = connection;
  notifier_ =
      std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

X11SelectionWatch::~X11SelectionWatch() {
  notifier_.reset();
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

void X11SelectionWatch::catchUp() {
  if (connection_ == nullptr || xcb_connection_has_error(connection_) != 0) return;
  // The server sends the events it made before it answers a request, so once the answer is in
  // they are all queued on our side.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  readEvents();
}

void X11SelectionWatch::readEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if ((event->response_type & 0x7f) == firstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
      const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
      const unsigned owner = notify->owner;
      std::free(event);
      onNewOwner_(owner);
      continue;
    }
    std::free(event);
  }
  if (xcb_connection_has_error(connection_) != 0) {
    // The X server went away; the one-second tick is all that is left.
    notifier_->setEnabled(false);
  }
}
