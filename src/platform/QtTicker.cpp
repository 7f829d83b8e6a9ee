#include "platform/QtTicker.h"

void QtTicker::start(std::chrono::milliseconds interval, std::function<void()> onTick) {
  timer_.disconnect();
  QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
  timer_.start(interval);
}
