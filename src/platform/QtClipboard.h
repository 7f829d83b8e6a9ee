#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "core/JobLimits.h"
#include "platform/X11ClipboardReader.h"
#include "platform/X11SelectionWatch.h"
#include "ports/Clipboard.h"

// The desktop clipboard (clipboard mode, not the X selection) through QClipboard.
class QtClipboard final : public QObject, public Clipboard {
  Q_OBJECT

 public:
  QtClipboard();

  Content read() override;
  void clear() override;
  void setText(const std::string& text) override;
  std::uint64_t changeCount() const override;
  std::uint64_t takenByOthers() override;
  void onChangedByOthers(std::function<void()> onChange) override;

 private:
  // Counts a change that is not ours, and passes it on.
  void takenByAnother();
  // Whether the clipboard is ours, by the X server's word where there is one: Qt can keep
  // believing it owns the clipboard after another program took it over.
  bool ownedByUs() const;
  // Applies a change to the clipboard until the X server shows it taken; false when it never is.
  bool claim(const std::function<void()>& change, const std::function<bool(unsigned)>& took);

  mutable std::uint64_t changes_ = 0;
  std::uint64_t othersTook_ = 0;
  mutable X11ClipboardReader x11_{JobLimits::maxJobTextBytes()};
  mutable unsigned lastOwner_ = 0;
  unsigned ourOwner_ = 0;
  unsigned silentOwner_ = 0;  // the owner last reported for not answering
  bool claiming_ = false;     // a change of ours is under way
  std::function<void()> onChangedByOthers_;
  std::unique_ptr<X11SelectionWatch> watch_;
};
