#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ports/PrinterPrompt.h"

class QDialog;
namespace Ui {
class HUDp;
}

// The printer prompt as the HUDp dialog of PrinterPrompt.ui: the printer list "printersList"
// (its label "printersLabel" names it), OK, "cancelButtonPrinterPair", "restart" and
// "savePrinter". The dialog is made once and kept, so that the same window comes back for every
// prompt. Each entry of the list holds its printer's name as data: the default printer's text
// carries a mark.
class QtPrinterPrompt final : public PrinterPrompt {
 public:
  QtPrinterPrompt();
  ~QtPrinterPrompt() override;
  QtPrinterPrompt(const QtPrinterPrompt&) = delete;
  QtPrinterPrompt& operator=(const QtPrinterPrompt&) = delete;

  // What the restart button does.
  void onRestart(const std::function<void()>& restart);
  void setPrinters(const std::vector<std::string>& names) override;
  void describeJob(const std::string& documentName,
                   const std::optional<std::string>& defaultPrinter) override;
  void prepare(const std::string& serverPrinter,
               const std::optional<std::string>& preselected) override;
  Answer run() override;

  QDialog& HUDp() const { return *HUDp_; }

 private:
  std::unique_ptr<QDialog> HUDp_;
  std::unique_ptr<Ui::HUDp> ui_;
  std::string documentName_;
};
