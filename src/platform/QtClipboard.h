#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "core/JobLimits.h"
#include "platform/X11ClipboardOwner.h"
#include "platform/X11ClipboardReader.h"
#include "platform/X11SelectionWatch.h"
#include "ports/Clipboard.h"

// The desktop clipboard (clipboard mode, not the X selection). Another program's text comes
// through our own X reader, without holding up the event loop: read() is unanswered until the text
// is in, and then the clipboard tells onChangedByOthers. QClipboard serves our own replies, and
// everything where there is no X display.
class QtClipboard final : public QObject, public Clipboard {
  Q_OBJECT

 public:
  // Another program's text longer than `limit` bytes (as UTF-8) is not read.
  explicit QtClipboard(std::size_t limit = JobLimits::maxJobTextBytes());

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
  // Our reply through our own X connection (nothing: the clipboard emptied).
  void offerOwn(std::optional<std::string> text);
  // Applies a change to the clipboard until the X server shows it taken; false when it never is.
  bool claim(const std::function<void()>& change, const std::function<bool(unsigned)>& took);

  mutable std::uint64_t changes_ = 0;
  std::uint64_t othersTook_ = 0;
  std::uint64_t claims_ = 0;  // changes of ours
  mutable X11ClipboardReader x11_;
  mutable unsigned lastOwner_ = 0;
  unsigned ourOwner_ = 0;
  bool claiming_ = false;  // a change of ours is under way
  std::function<void()> onChangedByOthers_;
  std::unique_ptr<X11SelectionWatch> watch_;
  std::unique_ptr<X11ClipboardOwner> owner_;  // only where Qt does not run on X11
};
