#pragma once

#include <cstdint>

#include "ports/Clipboard.h"

// The clipboard as the job's replies reach it. A reply replaces the clipboard only while the
// clipboard still holds what the job came with: a second job, or a text the user copied, that
// arrived while a window of the job was up is never wiped by the first job's reply, and is read
// on the next tick. Nothing is written once the agent is ending: the job is left as it came.
class ClipboardReplies final : public Clipboard {
 public:
  explicit ClipboardReplies(Clipboard& clipboard) : clipboard_(clipboard) {}

  // From now on replies answer what the clipboard held when it was this generation
  // (`takenByOthers`).
  void answering(std::uint64_t generation) {
    generation_ = generation;
    told_ = false;
  }

  Content read() override { return clipboard_.read(); }
  void clear() override;
  void setText(const std::string& text) override;
  std::uint64_t changeCount() const override { return clipboard_.changeCount(); }
  std::uint64_t takenByOthers() override { return clipboard_.takenByOthers(); }
  void onChangedByOthers(std::function<void()> onChange) override {
    clipboard_.onChangedByOthers(std::move(onChange));
  }

 private:
  bool mayReply();

  Clipboard& clipboard_;
  std::uint64_t generation_ = 0;
  bool told_ = false;
};
