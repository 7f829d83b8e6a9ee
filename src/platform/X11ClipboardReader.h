#pragma once

#include <chrono>
#include <optional>
#include <string>

struct xcb_connection_t;

// Reads the CLIPBOARD selection as UTF-8 straight from the X server, large transfers (INCR)
// included, into one buffer. Qt's own path goes through UTF-16 and several copies, which for a
// job text of tens of megabytes costs four to five times its size in memory.
class X11ClipboardReader {
 public:
  // Nothing usable when there is no X display (Wayland without XWayland, or none at all).
  X11ClipboardReader();
  ~X11ClipboardReader();
  X11ClipboardReader(const X11ClipboardReader&) = delete;
  X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

  bool usable() const { return connection_ != nullptr; }

  struct Result {
    bool answered = false;            // false: no owner, refused, or timed out
    std::optional<std::string> text;  // nothing when the owner offers no UTF-8 text
  };
  // Must not be used while this process owns the clipboard: our own event loop is what would
  // have to answer.
  Result read(std::chrono::milliseconds timeout);
  // The window that owns the clipboard now, as the X server sees it (0: none, or no display).
  unsigned owner();

 private:
  xcb_connection_t* connection_ = nullptr;
  unsigned window_ = 0;
  unsigned clipboard_ = 0;
  unsigned utf8_ = 0;
  unsigned property_ = 0;
  unsigned incr_ = 0;
};
