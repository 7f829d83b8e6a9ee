#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The desktop's general clipboard, as job intake sees it. The remote-desktop client keeps it in
// step with the session, so it is both where jobs arrive and where replies go.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  struct Content {
    // False while the text is not in yet (a read never waits for the program that holds the
    // clipboard): nothing is known about the content then, which may still hold a job. Once it
    // is in, onChangedByOthers' callback runs and the next read has it.
    bool answered = true;
    // The first text item as UTF-8, or nothing when the clipboard holds no text.
    std::optional<std::string> text;
    // md5Hex of the text where the reader took it on the way; empty when it did not.
    std::string digest;
    // takenByOthers() when the content was asked for: a reply to the job it holds is written
    // only while no other program has taken the clipboard since.
    std::uint64_t generation = 0;
    // Set in one unanswered read when the owner has not handed this content over for 30 s.
    bool ownerStuck = false;
  };
  virtual Content read() = 0;
  // Drops every item.
  virtual void clear() = 0;
  // Replaces the content with one plain-text item.
  virtual void setText(const std::string& text) = 0;
  // Grows whenever the content may have changed, by another program or by us. Lets an idle tick
  // skip reading (and copying) a large text that it has already looked at.
  virtual std::uint64_t changeCount() const = 0;
  // Grows each time another program takes the clipboard, never for our own replies; up to date
  // with the display server when it returns.
  virtual std::uint64_t takenByOthers() = 0;
  // `onChange` runs on the main thread whenever another program may have put something on the
  // clipboard, and when a text asked for is in; never for our own replies.
  virtual void onChangedByOthers(std::function<void()> onChange) = 0;
};
