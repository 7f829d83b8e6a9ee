#pragma once

#include <QTimer>

#include "ports/Ticker.h"

class QtTicker final : public Ticker {
 public:
  void start(std::chrono::milliseconds interval, std::function<void()> onTick) override;

 private:
  QTimer timer_;
};
