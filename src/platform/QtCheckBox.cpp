#include "platform/QtCheckBox.h"

#include <QCheckBox>
#include <QVariant>

long QtCheckBox::state() const {
  switch (box_.checkState()) {
    case Qt::Unchecked:
      return 0;
    case Qt::PartiallyChecked:
      return -1;
    case Qt::Checked:
      break;
  }
  return 1;
}

void QtCheckBox::setState(long state) {
  if (state == 0) {
    box_.setCheckState(Qt::Unchecked);
  } else if (state < 0 && box_.isTristate()) {
    box_.setCheckState(Qt::PartiallyChecked);
  } else {
    // setCheckState emits no clicked(): loading a stored switch does not run its action.
    box_.setCheckState(Qt::Checked);
  }
}

long QtCheckBox::tag() const {
  bool ok = false;
  const long tag = static_cast<long>(box_.property("tag").toLongLong(&ok));
  return ok ? tag : 0;
}
