#pragma once

#include "ports/CheckBox.h"

class QCheckBox;

// A check box of a window as the settings store sees it. The tag is the box's dynamic property
// "tag", set in the window's .ui file; a box without one counts as tag 0.
class QtCheckBox final : public CheckBox {
 public:
  explicit QtCheckBox(QCheckBox& box) : box_(box) {}

  long state() const override;
  // Any number other than 0 and -1 means on, as a stored "5" would on any two-state box.
  void setState(long state) override;
  long tag() const override;

  QCheckBox& widget() const { return box_; }

 private:
  QCheckBox& box_;
};
