#include "intake/ClipboardCarrier.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"
#include "core/JobFailure.h"
#include "core/JobLimits.h"
#include "core/JobText.h"
#include "ports/Clipboard.h"

namespace {

bool isDigest(const std::string& text) {
  return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

ClipboardCarrier::ClipboardCarrier(Clipboard& clipboard, std::string digestFile)
    : clipboard_(clipboard), digestFile_(std::move(digestFile)) {
  if (std::optional<std::string> text = FileSystem::readRegularFile(digestFile_)) {
    text->erase(std::remove(text->begin(), text->end(), '\n'), text->end());
    if (isDigest(*text)) hashTemp_ = kept_ = std::move(*text);
  }
}

void ClipboardCarrier::keep() {
  if (hashTemp_ == kept_) return;
  if (hashTemp_) {
    std::error_code ignored;  // the write that follows reports what went wrong
    std::filesystem::create_directories(std::filesystem::path(digestFile_).parent_path(), ignored);
  }
  const bool done = hashTemp_ ? AtomicFile::write(digestFile_, *hashTemp_ + "\n", 0600)
                              : (FileSystem::remove(digestFile_) || errno == ENOENT);
  // Tried once per job: a read-only folder is not written to again at every tick.
  kept_ = hashTemp_;
  if (done) {
    toldUnwritable_ = false;
  } else if (!toldUnwritable_) {
    Diagnostics::error() << "cannot keep the last clipboard job's digest in " << digestFile_
                       << "; after a restart the job still on the clipboard is carried out again";
    toldUnwritable_ = true;
  }
}

bool ClipboardCarrier::unchangedSinceLastLook() const {
  if (!looked_ || clipboard_.changeCount() != lastChangeCount_) return false;
  // Unchanged text: the last look ended early (no job text, or a digest equal to the stored
  // one) and would do so again, unless the stored digest has moved since.
  return !lastLookDigest_ || lastLookDigest_ == hashTemp_;
}

std::optional<std::string> ClipboardCarrier::take() {
  if (unchangedSinceLastLook()) return std::nullopt;
  const std::uint64_t changeCount = clipboard_.changeCount();
  Clipboard::Content content = clipboard_.read();
  // Without an answer nothing was seen: the job that may be on offer is read on a later tick.
  if (!content.answered) {
    if (content.ownerStuck) {
      Diagnostics::warning() << "the program that holds the clipboard has not handed its text over "
                            "for 30 s; a job on it waits until it does";
      JobFailure::report("clipboard-stuck",
                         QT_TRANSLATE_NOOP("JobFailure",
                                           "The program that holds the clipboard (usually the "
                                           "remote-desktop client) has not handed its text over "
                                           "for 30 seconds. A job on it is not printed until it "
                                           "does; print again, or reconnect the session."));
    }
    return std::nullopt;
  }
  looked_ = true;
  lastChangeCount_ = changeCount;
  lastLookDigest_.reset();
  generation_ = content.generation;

  if (!content.text || !JobText::hasSeparator(*content.text)) return std::nullopt;
  if (content.text->size() > JobLimits::maxJobTextBytes()) {
    // Not looked at again until the clipboard changes.
    Diagnostics::warning() << "a clipboard text of " << (content.text->size() >> 20)
                       << " MiB is over the job size limit; dropped";
    return std::nullopt;
  }
  std::string digest =
      content.digest.empty() ? Crypto::md5Hex(*content.text) : std::move(content.digest);
  lastLookDigest_ = digest;
  if (digest == hashTemp_) return std::nullopt;
  hashTemp_ = std::move(digest);
  return std::move(content.text);
}
