#include "support/RemoteClipboardOwner.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  auto* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t value = reply->atom;
  std::free(reply);
  return value;
}

}  // namespace

RemoteClipboardOwner::RemoteClipboardOwner(std::size_t pieceSize)
    : connection_(xcb_connect(nullptr, nullptr)),
      window_(xcb_generate_id(connection_)),
      clipboard_(atom(connection_, "CLIPBOARD")),
      utf8_(atom(connection_, "UTF8_STRING")),
      incr_(atom(connection_, "INCR")),
      targets_(atom(connection_, "TARGETS")),
      pieceSize_(pieceSize),
      served_{{utf8_, utf8_}} {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
  xcb_flush(connection_);
  thread_ = std::thread([this] { run(); });
}

RemoteClipboardOwner::~RemoteClipboardOwner() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  thread_.join();
  xcb_disconnect(connection_);
}

void RemoteClipboardOwner::offer(const std::string& text) {
  {
    const std::lock_guard lock(mutex_);
    text_ = text;
    xcb_set_selection_owner(connection_, window_, clipboard_, XCB_CURRENT_TIME);
  }
  std::free(xcb_get_selection_owner_reply(
      connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
}

void RemoteClipboardOwner::answerLate(std::chrono::milliseconds delay, int afterPieces) {
  const std::lock_guard lock(mutex_);
  lateUntil_ = std::chrono::steady_clock::now() + delay;
  afterPieces_ = afterPieces;
}

void RemoteClipboardOwner::serve(const std::vector<Target>& targets) {
  std::vector<std::pair<xcb_atom_t, xcb_atom_t>> served;
  served.reserve(targets.size());
  for (const Target& target : targets) {
    served.emplace_back(atom(connection_, target.name), atom(connection_, target.type));
  }
  const std::lock_guard lock(mutex_);
  served_ = std::move(served);
}

void RemoteClipboardOwner::sendEndlessly() {
  const std::lock_guard lock(mutex_);
  endless_ = true;
}

int RemoteClipboardOwner::requests() {
  const std::lock_guard lock(mutex_);
  return requests_;
}

void RemoteClipboardOwner::run() {
  for (;;) {
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) return;
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
          const auto& request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
          if (request.target == targets_) {
            std::vector<xcb_atom_t> list{targets_};
            for (const auto& [target, type] : served_) list.push_back(target);
            transfers_.push_back({request,
                                  std::string(reinterpret_cast<const char*>(list.data()),
                                              list.size() * sizeof(xcb_atom_t)),
                                  XCB_ATOM_ATOM, 32});
          } else {
            const auto served =
                std::find_if(served_.begin(), served_.end(),
                             [&](const auto& entry) { return entry.first == request.target; });
            transfers_.push_back(
                {request, text_,
                 served == served_.end() ? xcb_atom_t{XCB_ATOM_NONE} : served->second});
            ++requests_;
          }
        } else if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
          const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
          for (Transfer& transfer : transfers_) {
            transfer.due |= change->state == XCB_PROPERTY_DELETE &&
                            change->window == transfer.request.requestor &&
                            change->atom == transfer.request.property;
          }
        }
        std::free(event);
      }
      for (Transfer& transfer : transfers_) step(transfer);
      std::erase_if(transfers_,
                    [](const Transfer& t) { return t.started && t.sent > t.text.size(); });
      xcb_flush(connection_);
    }
    pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&descriptor, 1, 10);
  }
}

// Answers a request, or sends the next piece of a transfer, when it is time to.
void RemoteClipboardOwner::step(Transfer& transfer) {
  // While late: with afterPieces_, a transfer in pieces stops after that many; without, nothing
  // is answered.
  const bool late = std::chrono::steady_clock::now() < lateUntil_;
  const bool held = afterPieces_ == 0 || (transfer.started && pieceSize_ != 0 &&
                                          transfer.sent / pieceSize_ >= std::size_t(afterPieces_));
  if (!transfer.due || (late && held)) return;
  const xcb_selection_request_event_t& request = transfer.request;
  transfer.due = false;
  if (!transfer.started) {
    transfer.started = true;
    xcb_atom_t property = request.property;
    if (transfer.type == XCB_ATOM_NONE) {
      property = XCB_ATOM_NONE;
      transfer.sent = transfer.text.size() + 1;
    } else if (pieceSize_ == 0 || transfer.text.size() <= pieceSize_ || transfer.format != 8) {
      xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                          transfer.type, transfer.format,
                          transfer.text.size() * 8 / transfer.format, transfer.text.data());
      transfer.sent = transfer.text.size() + 1;
    } else {
      // The requestor's deletions of the property ask for the next piece.
      const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
      xcb_change_window_attributes(connection_, request.requestor, XCB_CW_EVENT_MASK, &events);
      const auto size = announced_ != 0 ? announced_ : static_cast<uint32_t>(transfer.text.size());
      xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                          incr_, 32, 1, &size);
    }
    char event[32] = {};  // the X server takes an event as 32 bytes
    const xcb_selection_notify_event_t notify{
        XCB_SELECTION_NOTIFY,
        0,
        0,
        request.time,
        request.requestor,
        request.selection,
        request.target,
        property,  // none: refused
    };
    std::memcpy(event, &notify, sizeof notify);
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event);
    return;
  }
  if (endless_ && transfer.sent >= transfer.text.size()) transfer.sent = 0;
  const std::string piece =
      transfer.text.substr(std::min(transfer.sent, transfer.text.size()), pieceSize_);
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                      transfer.type, 8, piece.size(), piece.data());
  transfer.sent += piece.empty() ? 1 : piece.size();
}
