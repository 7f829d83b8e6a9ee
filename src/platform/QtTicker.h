#pragma once

#include <QTimer>

#include "ports/Ticker.h"

class QtTicker final : public Ticker {
 public:
  QtTicker();
  void start(std::chrono::milliseconds interval, std::function<void()> onTick) override;
  void soon(std::function<void()> once) override;

 private:
  QTimer timer_;
  QTimer soon_;
  std::function<void()> once_;
};
