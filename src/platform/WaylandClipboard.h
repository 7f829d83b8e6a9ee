#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/JobLimits.h"
#include "platform/PipeTextReader.h"
#include "ports/Clipboard.h"

class QSocketNotifier;
class WaylandDataControl;
struct wl_display;
struct wl_proxy;
struct wl_registry;

// The desktop clipboard of a Wayland session, through the compositor's data control (ext, or
// the older wlr protocol): it reads and sets the selection without a window or keyboard focus,
// on a connection of its own that the event loop serves. Nothing here waits for another
// program: a text is received through a pipe while the event loop runs, and our replies are
// written to whoever asks for them the same way.
class WaylandClipboard final : public QObject, public Clipboard {
 public:
  // Content that has not been handed over after this long of waiting is reported, once.
  static constexpr std::chrono::milliseconds kStuckAfter{30000};

  // Nothing where there is no Wayland display ($WAYLAND_DISPLAY) or its compositor offers no
  // data control; the clipboard then goes through X11. Another program's text longer than
  // `limit` bytes (as UTF-8) is not read. Needs the application object.
  static std::unique_ptr<WaylandClipboard> connect(
      std::size_t limit = JobLimits::maxJobTextBytes(),
      std::chrono::milliseconds stuckAfter = kStuckAfter);
  ~WaylandClipboard() override;
  WaylandClipboard(const WaylandClipboard&) = delete;
  WaylandClipboard& operator=(const WaylandClipboard&) = delete;

  Content read() override;
  // Puts the empty text up, as our own: a program reading the clipboard finds nothing, and the
  // change is not taken for another program's.
  void clear() override;
  void setText(const std::string& text) override;
  std::uint64_t changeCount() const override { return changes_; }
  // Waits for the compositor to confirm what it has sent (a moment, at most 200 ms).
  std::uint64_t takenByOthers() override;
  void onChangedByOthers(std::function<void()> onChange) override;

 private:
  // Another program's text on its way to us.
  struct Receive {
    explicit Receive(std::uint64_t generation)
        : generation(generation), since(std::chrono::steady_clock::now()) {}
    std::uint64_t generation;
    std::chrono::steady_clock::time_point since;
    bool reported = false;  // ownerStuck was handed out
    std::optional<PipeTextReader> reader;
  };

  WaylandClipboard(std::size_t limit, std::chrono::milliseconds stuckAfter);
  bool open();
  // Handles whatever the compositor has sent, without waiting for more.
  void dispatch();
  void flush();
  bool broken() const;
  void selectionChanged(wl_proxy* offer);
  void startReceive(const char* type);
  void received();
  void dropOffer();

  std::size_t limit_;
  std::chrono::milliseconds stuckAfter_;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  const WaylandDataControl* protocol_ = nullptr;
  std::uint32_t managerName_ = 0;
  std::uint32_t seatName_ = 0;
  wl_proxy* manager_ = nullptr;
  wl_proxy* seat_ = nullptr;
  wl_proxy* device_ = nullptr;
  std::unique_ptr<QSocketNotifier> readable_;
  std::unique_ptr<QSocketNotifier> writable_;  // while requests wait for room on the socket

  // Offers introduced and not yet named by a selection event, with their types.
  std::map<wl_proxy*, std::vector<std::string>> introduced_;
  // Another program's selection; null when it is ours or nobody's.
  wl_proxy* offer_ = nullptr;
  std::vector<std::string> offerTypes_;
  bool ours_ = false;     // the selection is one of our sources
  bool started_ = false;  // the compositor has told us the selection it had at our start
  // Our sources, each with the text it serves, until another program takes the selection.
  std::map<wl_proxy*, std::shared_ptr<const std::string>> sources_;
  std::shared_ptr<const std::string> text_;  // what our newest source serves
  std::optional<Receive> receive_;

  std::uint64_t changes_ = 0;
  std::uint64_t othersTook_ = 0;
  std::function<void()> onChangedByOthers_;
};
