#pragma once

#include <QObject>

#include "platform/Clipboard.h"
#include "platform/X11ClipboardReader.h"

// The desktop clipboard (clipboard mode, not the X selection) through QClipboard.
class QtClipboard final : public QObject, public Clipboard {
  Q_OBJECT

 public:
  QtClipboard();

  std::optional<std::string> text() override;
  void clear() override;
  void setText(const std::string& text) override;
  std::uint64_t changeCount() const override { return changes_; }

 private:
  std::uint64_t changes_ = 0;
  X11ClipboardReader x11_;
};
