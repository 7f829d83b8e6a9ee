#pragma once

#include "ports/Alert.h"

class QWidget;

// Alerts as window-modal QMessageBoxes on one window: the nearest thing to a sheet. The box
// deletes itself when closed.
class QtAlert final : public Alert {
 public:
  explicit QtAlert(QWidget& window) : window_(window) {}
  void beginSheet(const Message& message, std::function<void(int returnCode)> didEnd) override;

 private:
  QWidget& window_;
};
