#include "intake/ClipboardCarrier.h"

#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/JobLimits.h"
#include "core/JobText.h"
#include "ports/Clipboard.h"

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
  if (!content.answered) return std::nullopt;
  looked_ = true;
  lastChangeCount_ = changeCount;
  lastLookDigest_.reset();

  if (!content.text || !JobText::hasSeparator(*content.text)) return std::nullopt;
  if (content.text->size() > JobLimits::maxJobTextBytes()) {
    // Not looked at again until the clipboard changes.
    Diagnostics::say() << "a clipboard text of " << (content.text->size() >> 20)
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
