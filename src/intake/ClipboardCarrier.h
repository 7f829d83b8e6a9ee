#pragma once

#include <cstdint>
#include <optional>
#include <string>

class Clipboard;

// The clipboard as a carrier of jobs. It is read only when it may hold something new, and a job
// text is handed on only when its digest differs from the last job's: a job left on the
// clipboard, or the same text sent again, is carried out once. The last job's digest outlives the
// agent (a remote-desktop client keeps the last text, and raw jobs stay on the clipboard), so a
// start does not carry out again what the previous run carried out.
class ClipboardCarrier {
 public:
  // `digestFile` keeps the digest of the last job carried out between runs.
  ClipboardCarrier(Clipboard& clipboard, std::string digestFile);

  // A new job text, or nothing.
  std::optional<std::string> take();
  // Which content the last job text taken was (`Clipboard::takenByOthers`).
  std::uint64_t generation() const { return generation_; }
  // The same job text may be carried out again (after the open command, or when it waits).
  void forgetLastJob() { hashTemp_.reset(); }
  // The job taken is done with: its digest is kept for the next run.
  void keep();
  // The job taken was not carried out (the agent is ending): the digest kept is the one before.
  void putBack() { hashTemp_ = kept_; }

 private:
  bool unchangedSinceLastLook() const;

  Clipboard& clipboard_;
  std::string digestFile_;
  // The digest of the last job text, and the one the file holds.
  std::optional<std::string> hashTemp_;
  std::optional<std::string> kept_;
  bool toldUnwritable_ = false;
  std::uint64_t generation_ = 0;
  // What the last look (a read that got an answer) found.
  bool looked_ = false;
  std::uint64_t lastChangeCount_ = 0;
  std::optional<std::string> lastLookDigest_;
};
