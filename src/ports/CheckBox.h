#pragma once

// A two-state switch of the options window as the settings store sees it: 0 off, 1 on (a box
// that allowed a mixed state would give -1). The tag tells the boxes of the window (tag 0) from
// any other control that might be wired to the same action.
class CheckBox {
 public:
  virtual ~CheckBox() = default;
  virtual long state() const = 0;
  virtual void setState(long state) = 0;
  virtual long tag() const = 0;
};

// Holds a switch's state where no window shows it.
class PlainCheckBox final : public CheckBox {
 public:
  explicit PlainCheckBox(long initial, long tag = 0) : state_(initial), tag_(tag) {}
  long state() const override { return state_; }
  void setState(long state) override { state_ = state; }
  long tag() const override { return tag_; }

 private:
  long state_;
  long tag_;
};
