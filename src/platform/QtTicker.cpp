#include "platform/QtTicker.h"

namespace {
// Events that come within this long of each other (a folder written in pieces, an owner that
// takes the clipboard twice) make one run.
constexpr std::chrono::milliseconds kGather(5);
}  // namespace

QtTicker::QtTicker() {
  soon_.setSingleShot(true);
  QObject::connect(&soon_, &QTimer::timeout, [this] {
    if (const std::function<void()> once = std::move(once_)) once();
  });
}

void QtTicker::start(std::chrono::milliseconds interval, std::function<void()> onTick) {
  timer_.disconnect();
  QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
  timer_.start(interval);
}

void QtTicker::soon(std::function<void()> once) {
  if (soon_.isActive()) return;
  once_ = std::move(once);
  soon_.start(kGather);
}
