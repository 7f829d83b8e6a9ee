#pragma once

#include <cstdint>
#include <optional>
#include <string>

class Clipboard;

// The clipboard as a carrier of jobs. It is read only when it may hold something new, and a job
// text is handed on only when its digest differs from the last job's: a job left on the
// clipboard, or the same text sent again, is carried out once.
class ClipboardCarrier {
 public:
  explicit ClipboardCarrier(Clipboard& clipboard) : clipboard_(clipboard) {}

  // A new job text, or nothing.
  std::optional<std::string> take();
  // The same job text may be carried out again (after the open command).
  void forgetLastJob() { hashTemp_.reset(); }

 private:
  bool unchangedSinceLastLook() const;

  Clipboard& clipboard_;
  // The digest of the last job text.
  std::optional<std::string> hashTemp_;
  // What the last look (a read that got an answer) found.
  bool looked_ = false;
  std::uint64_t lastChangeCount_ = 0;
  std::optional<std::string> lastLookDigest_;
};
