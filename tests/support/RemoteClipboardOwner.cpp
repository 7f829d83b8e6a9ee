#include "support/RemoteClipboardOwner.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

RemoteClipboardOwner::RemoteClipboardOwner(std::size_t pieceSize)
    : connection_(xcb_connect(nullptr, nullptr)), pieceSize_(pieceSize) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  window_ = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
  clipboard_ = internAtom(connection_, "CLIPBOARD");
  utf8_ = internAtom(connection_, "UTF8_STRING");
  incr_ = internAtom(connection_, "INCR");
  if (::pipe(wakePipe_) != 0) std::abort();
  thread_ = std::thread([this] { run(); });
}

RemoteClipboardOwner::~RemoteClipboardOwner() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake();
  thread_.join();
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
  xcb_disconnect(connection_);
}

void RemoteClipboardOwner::offer(const std::string& text) {
  {
    const std::lock_guard lock(mutex_);
    text_ = text;
  }
  xcb_set_selection_owner(connection_, window_, clipboard_, XCB_CURRENT_TIME);
  std::free(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
  // Waiting for that reply may have read events that the thread's poll would not see.
  wake();
}

void RemoteClipboardOwner::hold(int afterPieces) {
  const std::lock_guard lock(mutex_);
  if (afterPieces == 0) {
    holding_ = true;
  } else {
    piecesBeforeHold_ = afterPieces;
  }
}

void RemoteClipboardOwner::release(std::chrono::milliseconds after) {
  {
    const std::lock_guard lock(mutex_);
    releaseAt_ = std::chrono::steady_clock::now() + after;
  }
  wake();
}

void RemoteClipboardOwner::wake() {
  const char byte = 0;
  if (::write(wakePipe_[1], &byte, 1) != 1) std::abort();
}

void RemoteClipboardOwner::run() {
  for (;;) {
    int timeout = -1;
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) return;
      if (releaseAt_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            *releaseAt_ - std::chrono::steady_clock::now());
        if (left.count() > 0) {
          timeout = static_cast<int>(left.count());
        } else {
          releaseAt_.reset();
          holding_ = false;
          if (held_) answer(held_->request, held_->text);
          held_.reset();
          for (Transfer& transfer : transfers_) {
            if (transfer.due) sendPiece(transfer);
          }
        }
      }
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        handle(*event);
        std::free(event);
      }
      transfers_.remove_if([](const Transfer& transfer) { return transfer.done; });
      xcb_flush(connection_);
    }
    pollfd descriptors[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0},
                             {wakePipe_[0], POLLIN, 0}};
    ::poll(descriptors, 2, timeout);
    if ((descriptors[1].revents & POLLIN) != 0) {
      char drained[64];
      [[maybe_unused]] const auto ignored = ::read(wakePipe_[0], drained, sizeof drained);
    }
  }
}

void RemoteClipboardOwner::handle(const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7f) {
    case XCB_SELECTION_REQUEST: {
      const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(event);
      if (!holding_) {
        answer(request, text_);
      } else if (held_) {
        notify(request, XCB_ATOM_NONE);  // busy fetching for the first one
      } else {
        held_ = HeldRequest{request, text_};
      }
      break;
    }
    case XCB_PROPERTY_NOTIFY: {
      const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
      if (change.state != XCB_PROPERTY_DELETE) break;
      for (Transfer& transfer : transfers_) {
        if (transfer.requestor != change.window || transfer.property != change.atom) continue;
        if (holding_) {
          transfer.due = true;
        } else {
          sendPiece(transfer);
        }
      }
      break;
    }
    default:
      break;
  }
}

void RemoteClipboardOwner::answer(const xcb_selection_request_event_t& request,
                                  const std::string& text) {
  if (pieceSize_ == 0 || text.size() <= pieceSize_) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                        utf8_, 8, static_cast<uint32_t>(text.size()), text.data());
  } else {
    // The requestor's deletions of the property are what ask for the next piece.
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, request.requestor, XCB_CW_EVENT_MASK, &events);
    const auto size = static_cast<uint32_t>(text.size());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                        incr_, 32, 1, &size);
    transfers_.push_front({request.requestor, request.property, text});
  }
  notify(request, request.property);
}

void RemoteClipboardOwner::notify(const xcb_selection_request_event_t& request,
                                  xcb_atom_t property) {
  // The X server takes an event as 32 bytes, more than the structure holds.
  char buffer[32] = {};
  auto* event = reinterpret_cast<xcb_selection_notify_event_t*>(buffer);
  event->response_type = XCB_SELECTION_NOTIFY;
  event->time = request.time;
  event->requestor = request.requestor;
  event->selection = request.selection;
  event->target = request.target;
  event->property = property;
  xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, buffer);
}

void RemoteClipboardOwner::sendPiece(Transfer& transfer) {
  transfer.due = false;
  const std::string piece = transfer.text.substr(transfer.sent, pieceSize_);
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                      utf8_, 8, static_cast<uint32_t>(piece.size()), piece.data());
  transfer.sent += piece.size();
  transfer.done = piece.empty();
  if (piecesBeforeHold_ > 0 && --piecesBeforeHold_ == 0) holding_ = true;
}
