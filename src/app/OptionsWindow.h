#pragma once

#include <memory>

#include "platform/QtAlert.h"
#include "platform/QtCheckBox.h"
#include "platform/QtPairTable.h"

class LaunchAtLoginController;
class QWidget;
class TableViewControler;
namespace Ui {
class OptionsWindow;
}

// The options window made from OptionsWindow.ui, with the adapters through which its controller
// reaches the four check boxes, the pair table and the folder-redirection sheet.
class OptionsWindow {
 public:
  OptionsWindow();
  ~OptionsWindow();
  OptionsWindow(const OptionsWindow&) = delete;
  OptionsWindow& operator=(const OptionsWindow&) = delete;

  // Hands the controller its outlets and wires the controls to its actions. Only clicks run an
  // action: a box set by loading the settings does not.
  void connectTo(TableViewControler& controller);
  // The "Start at login" box follows the login item, also when it is changed elsewhere.
  void connectTo(LaunchAtLoginController& launchAtLogin);

  QWidget& window() const { return *window_; }

 private:
  std::unique_ptr<QWidget> window_;
  std::unique_ptr<Ui::OptionsWindow> ui_;
  std::unique_ptr<QtCheckBox> MappedSettings_;
  std::unique_ptr<QtCheckBox> Dialog_;
  std::unique_ptr<QtCheckBox> log_;
  std::unique_ptr<QtCheckBox> RedirectedFolder_;
  std::unique_ptr<QtPairTable> theTable_;
  std::unique_ptr<QtAlert> alert_;
};
