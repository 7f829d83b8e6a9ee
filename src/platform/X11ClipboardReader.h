#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/IncrTransfer.h"

class QSocketNotifier;
struct xcb_connection_t;

// Reads the CLIPBOARD selection as UTF-8 straight from the X server, large transfers (INCR)
// included, into one buffer: UTF8_STRING where the owner gives it, else STRING or TEXT, converted
// on the way. Qt's own path goes through UTF-16 and several copies, which for a
// job text of tens of megabytes costs four to five times its size in memory; it also waits for
// the owner with the event loop held, and reads without a limit.
//
// Nothing here waits for the owner: a read starts a request, and the answer and each piece of a
// transfer are taken as events of the reader's own X connection, while the event loop runs.
class X11ClipboardReader final : public QObject {
 public:
  // A transfer in pieces that sends nothing for this long is given up and asked for again.
  static constexpr std::chrono::milliseconds kStallLimit{5000};
  // Content that has not been read after this long of trying is reported, once.
  static constexpr std::chrono::milliseconds kStuckAfter{30000};

  // Nothing usable when there is no X display (Wayland without XWayland, or none at all). A text
  // longer than `limit` bytes (as UTF-8) is not read. `onFinished` runs, from the event loop, when
  // a request has its result: the next read() with the same `changes` hands it out.
  X11ClipboardReader(std::size_t limit, std::function<void()> onFinished = {},
                     std::chrono::milliseconds stallLimit = kStallLimit,
                     std::chrono::milliseconds stuckAfter = kStuckAfter);
  ~X11ClipboardReader() override;
  X11ClipboardReader(const X11ClipboardReader&) = delete;
  X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

  bool usable() const { return connection_ != nullptr; }

  struct Result {
    bool answered = false;            // false: the text is not in (yet)
    std::optional<std::string> text;  // nothing: no text on offer, or one over the limit
    bool skipped = false;             // a text over the limit: on offer, and not read
    std::string digest;               // md5Hex of the text, taken as it arrived
    std::uint64_t generation = 0;     // as given to the read that made the request
    bool ownerStuck = false;          // set once per content, after kStuckAfter without a result
  };
  // Never waits. Hands out the result of the request under way once it is in; otherwise starts a
  // request when none is under way and returns unanswered. `changes` must grow whenever the
  // clipboard may have changed, a new owner included: a request made for other `changes` is
  // dropped, and whatever it still brings lands where nobody reads. While `changes` stays the
  // same, a request that has no answer yet is waited for rather than made anew: a remote-desktop
  // client answers only once it has fetched the text from the server, and refuses a second request
  // in the meantime. Must not be used while this process owns the clipboard: our own event loop is
  // what would have to answer.
  Result read(std::uint64_t changes, std::uint64_t generation = 0);
  // The window that owns the clipboard now, as the X server sees it (0: none, or no display).
  unsigned owner();

 private:
  enum class Step { Stamping, Asking, Receiving, Finished };
  struct Request {
    Request(std::uint64_t changes, std::uint64_t generation)
        : changes(changes), generation(generation) {}
    std::uint64_t changes;
    std::uint64_t generation;
    Step step = Step::Stamping;
    std::uint64_t stamp = 0;  // which of our time notices carries its time
    std::uint32_t time = 0;
    std::size_t target = 0;  // index into targets_
    std::optional<IncrTransfer> transfer;
    std::chrono::steady_clock::time_point lastHeard;
    Result result;
  };
  // The content that reads have been trying for.
  struct Tries {
    std::uint64_t changes = 0;
    std::chrono::steady_clock::time_point since;
    bool stalled = false;   // a transfer of it was given up
    bool reported = false;  // ownerStuck has been handed out
  };

  void start(std::uint64_t changes, std::uint64_t generation);
  void ask(std::size_t target);
  void abandonRequest();
  void handleEvents();
  void propertyChanged(unsigned atom, bool newValue, std::uint32_t time);
  void selectionNotified(unsigned selection, unsigned target, unsigned property,
                         std::uint32_t time);
  void answered(unsigned answer);
  void takePiece();
  void finish();
  void dropLeftover(unsigned property);
  IncrTransfer::Encoding encodingOf(unsigned type) const;
  unsigned property() const { return properties_[current_]; }

  std::size_t limit_;
  std::function<void()> onFinished_;
  std::chrono::milliseconds stallLimit_;
  std::chrono::milliseconds stuckAfter_;
  xcb_connection_t* connection_ = nullptr;
  unsigned window_ = 0;
  unsigned clipboard_ = 0;
  unsigned incr_ = 0;
  unsigned timeProperty_ = 0;
  // What is asked for, in this order, as long as the owner refuses: UTF8_STRING, STRING, TEXT.
  std::array<unsigned, 3> targets_{};
  // An abandoned request can still be answered, or go on in pieces, at any time: each request
  // after one is abandoned uses the next of these properties, so that what comes late lands
  // where nobody reads.
  std::array<unsigned, 8> properties_{};
  std::size_t current_ = 0;
  std::uint64_t stampsAsked_ = 0;
  std::uint64_t stampsSeen_ = 0;
  std::optional<Request> request_;
  std::optional<Tries> tries_;
  bool finished_ = false;  // onFinished_ is due once the events at hand are handled
  std::unique_ptr<QSocketNotifier> notifier_;
  // Handles events soon: those that xcb has read off the socket while it waited for a reply (the
  // notifier does not report them), and the rest of a batch that was cut short.
  QTimer later_;
};
