#include "intake/ClipboardReplies.h"

#include "core/Diagnostics.h"
#include "core/Shutdown.h"

bool ClipboardReplies::mayReply() {
  if (Shutdown::underway()) return false;
  if (clipboard_.takenByOthers() == generation_) return true;
  if (!told_) {
    Diagnostics::warning() << "another program took the clipboard while the job was carried out; "
                          "the job's reply is not written, and the new content is read next";
    told_ = true;
  }
  return false;
}

void ClipboardReplies::clear() {
  if (mayReply()) clipboard_.clear();
}

void ClipboardReplies::setText(const std::string& text) {
  if (mayReply()) clipboard_.setText(text);
}
