#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

// Reports every new owner of the CLIPBOARD selection as the X server announces it (XFixes), on
// a connection of its own: the moment another program offers a text, without asking anyone.
class X11SelectionWatch final : public QObject {
 public:
  // Nothing is reported where there is no X display or no XFixes.
  explicit X11SelectionWatch(std::function<void(unsigned owner)> onNewOwner);
  ~X11SelectionWatch() override;
  X11SelectionWatch(const X11SelectionWatch&) = delete;
  X11SelectionWatch& operator=(const X11SelectionWatch&) = delete;

  bool usable() const { return connection_ != nullptr; }
  // Reports every owner change that the X server made before this call, before it returns: a
  // notice still on its way could otherwise be taken for one that came later.
  void catchUp();

 private:
  void readEvents();

  std::function<void(unsigned)> onNewOwner_;
  xcb_connection_t* connection_ = nullptr;
  unsigned firstEvent_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
};
