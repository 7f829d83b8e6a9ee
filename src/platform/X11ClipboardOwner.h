#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;
struct xcb_connection_t;

// Our replies on the X11 CLIPBOARD selection, owned and served on a connection of our own. Qt's
// clipboard can only do this while Qt itself runs on X11; on a Wayland desktop whose compositor
// offers no data control, Qt runs on Wayland while the jobs come through XWayland, and the reply
// must go back the way the job came.
class X11ClipboardOwner final : public QObject {
 public:
  // Nothing is usable where there is no X display.
  X11ClipboardOwner();
  ~X11ClipboardOwner() override;
  X11ClipboardOwner(const X11ClipboardOwner&) = delete;
  X11ClipboardOwner& operator=(const X11ClipboardOwner&) = delete;

  bool usable() const { return connection_ != nullptr; }
  // Makes the text the clipboard's, served to every program that asks until another one takes
  // the clipboard; nothing empties it (nobody owns it then). False when the X server did not
  // take it.
  bool offer(std::optional<std::string> text);
  // The window the clipboard is owned from.
  unsigned window() const { return window_; }
  // What we offer while we own the clipboard.
  const std::optional<std::string>& text() const { return text_; }

 private:
  void readEvents();
  void answer(const void* request);
  std::uint32_t serverTime();

  xcb_connection_t* connection_ = nullptr;
  unsigned window_ = 0;
  unsigned clipboard_ = 0, targets_ = 0, utf8_ = 0, text_atom_ = 0, plain_ = 0, plainUtf8_ = 0;
  unsigned timeProperty_ = 0;
  std::uint32_t since_ = 0;  // when we took the clipboard
  std::optional<std::string> text_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
