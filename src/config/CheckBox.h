#pragma once

// A two-state switch of the options window as the settings store sees it: 0 off, 1 on (a box
// that allowed a mixed state would give -1).
class CheckBox {
 public:
  virtual ~CheckBox() = default;
  virtual long state() const = 0;
  virtual void setState(long state) = 0;
};

// Holds a switch's state where no window shows it.
class PlainCheckBox final : public CheckBox {
 public:
  explicit PlainCheckBox(long initial) : state_(initial) {}
  long state() const override { return state_; }
  void setState(long state) override { state_ = state; }

 private:
  long state_;
};
