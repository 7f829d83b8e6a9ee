#pragma once

#include <functional>
#include <memory>

#include "ports/PrinterPrompt.h"

class QDialog;
namespace Ui {
class HUDp;
}

// The printer prompt as the HUDp dialog of PrinterPrompt.ui: the printer list "printersList",
// OK, "cancelButtonPrinterPair", "restart" and "savePrinter". The dialog is made once and kept,
// so that the same window comes back for every prompt.
class QtPrinterPrompt final : public PrinterPrompt {
 public:
  QtPrinterPrompt();
  ~QtPrinterPrompt() override;
  QtPrinterPrompt(const QtPrinterPrompt&) = delete;
  QtPrinterPrompt& operator=(const QtPrinterPrompt&) = delete;

  // What the restart button does.
  void onRestart(const std::function<void()>& restart);
  void setPrinters(const std::vector<std::string>& names) override;
  void prepare(const std::string& serverPrinter,
               const std::optional<std::string>& preselected) override;
  Answer run() override;

  QDialog& HUDp() const { return *HUDp_; }

 private:
  std::unique_ptr<QDialog> HUDp_;
  std::unique_ptr<Ui::HUDp> ui_;
};
