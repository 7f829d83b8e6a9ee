#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Owns CLIPBOARD the way a remote-desktop client does: from one window for its whole life,
// claiming it again for every new text, and answering late when it has to fetch the text first.
// Texts longer than `pieceSize` go in INCR pieces. Serves requests on a thread of its own.
class RemoteClipboardOwner {
 public:
  explicit RemoteClipboardOwner(std::size_t pieceSize = 0);
  ~RemoteClipboardOwner();

  // Returns once the X server shows the clipboard taken.
  void offer(const std::string& text);
  // From now on, requests are answered only after `delay`; with `afterPieces`, a transfer in
  // pieces stops after that many until then.
  void answerLate(std::chrono::milliseconds delay, int afterPieces = 0);
  // A transfer in pieces announces this size instead of the true one.
  void announce(std::uint32_t size) { announced_ = size; }
  // The targets answered from now on, each with the type of its answer, and listed in the
  // answer to TARGETS; others are refused. At first UTF8_STRING alone.
  struct Target {
    const char* name;
    const char* type;
  };
  void serve(const std::vector<Target>& targets);
  // From now on a transfer in pieces never ends: the text is sent over and over.
  void sendEndlessly();
  // How many requests for the text it has had (TARGETS aside).
  int requests();

 private:
  struct Transfer {
    xcb_selection_request_event_t request;
    std::string text;
    xcb_atom_t type = XCB_ATOM_NONE;  // none: refused
    std::uint8_t format = 8;
    std::size_t sent = 0;
    bool started = false;
    bool due = true;  // the requestor is ready for the next piece
  };
  void run();
  void step(Transfer& transfer);

  xcb_connection_t* connection_;
  xcb_window_t window_;
  xcb_atom_t clipboard_, utf8_, incr_, targets_;
  const std::size_t pieceSize_;
  std::uint32_t announced_ = 0;
  std::mutex mutex_;  // guards what follows
  std::string text_;
  std::vector<std::pair<xcb_atom_t, xcb_atom_t>> served_;  // target, type
  bool endless_ = false;
  int requests_ = 0;
  std::chrono::steady_clock::time_point lateUntil_;
  int afterPieces_ = 0;
  bool stopping_ = false;
  std::vector<Transfer> transfers_;
  std::thread thread_;
};
