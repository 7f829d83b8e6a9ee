#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Owns CLIPBOARD the way a remote-desktop client does: from one window for its whole life,
// claiming it again for every new text, and answering only when it has the text. Told to hold,
// it keeps the next request (or the next piece of a transfer) until released; a second request
// meanwhile is refused at once, as such a client refuses one while it fetches the text from the
// server. Texts longer than `pieceSize` go in INCR pieces; deleting a property moves on every
// transfer that uses it. Serves requests on a thread of its own.
class RemoteClipboardOwner {
 public:
  explicit RemoteClipboardOwner(std::size_t pieceSize = 0);
  ~RemoteClipboardOwner();
  RemoteClipboardOwner(const RemoteClipboardOwner&) = delete;
  RemoteClipboardOwner& operator=(const RemoteClipboardOwner&) = delete;

  // Returns once the X server shows the clipboard taken.
  void offer(const std::string& text);
  // Holds from now on, or once that many more pieces have gone out.
  void hold(int afterPieces = 0);
  // Sends what was held after the delay, then answers at once again.
  void release(std::chrono::milliseconds after = std::chrono::milliseconds(0));

 private:
  struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    std::string text;
    std::size_t sent = 0;
    bool due = false;  // the requestor took the last piece while we held
    bool done = false;
  };
  struct HeldRequest {
    xcb_selection_request_event_t request;
    std::string text;
  };

  void run();
  void handle(const xcb_generic_event_t& event);
  void answer(const xcb_selection_request_event_t& request, const std::string& text);
  void notify(const xcb_selection_request_event_t& request, xcb_atom_t property);
  void sendPiece(Transfer& transfer);
  void wake();

  xcb_connection_t* connection_;
  xcb_window_t window_ = 0;
  xcb_atom_t clipboard_ = 0;
  xcb_atom_t utf8_ = 0;
  xcb_atom_t incr_ = 0;
  const std::size_t pieceSize_;
  int wakePipe_[2] = {-1, -1};

  std::mutex mutex_;  // guards everything below
  std::string text_;
  bool holding_ = false;
  int piecesBeforeHold_ = 0;
  std::optional<std::chrono::steady_clock::time_point> releaseAt_;
  bool stopping_ = false;
  std::optional<HeldRequest> held_;
  std::list<Transfer> transfers_;  // newest first

  std::thread thread_;
};
