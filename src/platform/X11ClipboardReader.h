#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class IncrTransfer;
struct xcb_connection_t;

// Reads the CLIPBOARD selection as UTF-8 straight from the X server, large transfers (INCR)
// included, into one buffer. Qt's own path goes through UTF-16 and several copies, which for a
// job text of tens of megabytes costs four to five times its size in memory.
class X11ClipboardReader {
 public:
  // Nothing usable when there is no X display (Wayland without XWayland, or none at all). A text
  // longer than `limit` bytes is not read.
  explicit X11ClipboardReader(std::size_t limit);
  ~X11ClipboardReader();
  X11ClipboardReader(const X11ClipboardReader&) = delete;
  X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

  bool usable() const { return connection_ != nullptr; }

  struct Result {
    bool answered = false;            // false: no answer yet
    std::optional<std::string> text;  // nothing when the owner offers no UTF-8 text, or a text
                                      // over the limit, or broke off a transfer in pieces
    bool skipped = false;             // a text was on offer but is not read (the two cases above)
    std::string digest;               // md5Hex of the text, taken as it arrived
  };
  // Waits at most `wait` for the owner's answer, and as long again for each piece of a large
  // transfer. A transfer that breaks off or passes the limit counts as answered without text, so
  // that the same content is not read again until it changes. `changes` must grow whenever the
  // clipboard may have changed, a new owner included. While it stays the same, a request that an
  // earlier call gave up on is waited for again rather than made anew: a remote-desktop client
  // answers only once it has fetched the text from the server, and refuses a second request in the
  // meantime. Must not be used while this process owns the clipboard: our own event loop is what
  // would have to answer.
  Result read(std::chrono::milliseconds wait, std::uint64_t changes);
  // The window that owns the clipboard now, as the X server sees it (0: none, or no display).
  unsigned owner();

 private:
  struct Request {
    std::uint32_t time = 0;
    std::uint64_t changes = 0;
  };

  std::optional<std::uint32_t> serverTime(std::chrono::steady_clock::time_point deadline);
  void abandonRequest();
  Result finish(IncrTransfer& transfer, Result result);
  void dropLeftover(unsigned property);
  unsigned property() const { return properties_[current_]; }

  std::size_t limit_;
  xcb_connection_t* connection_ = nullptr;
  unsigned window_ = 0;
  unsigned clipboard_ = 0;
  unsigned utf8_ = 0;
  unsigned incr_ = 0;
  unsigned timeProperty_ = 0;
  // An abandoned request can still be answered, or go on in pieces, at any time: each request
  // after one is abandoned uses the next of these properties, so that what comes late lands
  // where nobody reads.
  std::array<unsigned, 4> properties_{};
  std::size_t current_ = 0;
  std::optional<Request> pending_;
};
