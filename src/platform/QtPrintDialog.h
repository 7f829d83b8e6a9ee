#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ports/PrintDialog.h"

// Qt's print dialog on CUPS. The dialog speaks of queue names: queueFor maps a printer name as
// users see it to its queue, printerOf a queue to that name, under which the dialog lists it
// (without printerOf, the queue names are shown). The choice names the queue.
class QtPrintDialog final : public PrintDialog {
 public:
  using QueueResolver = std::function<std::optional<std::string>(const std::string&)>;
  explicit QtPrintDialog(QueueResolver queueFor, QueueResolver printerOf = {})
      : queueFor_(std::move(queueFor)), printerOf_(std::move(printerOf)) {}

  std::optional<PrintDialogChoice> run(const PrintDialogRequest& request) override;

 private:
  QueueResolver queueFor_;
  QueueResolver printerOf_;
};

// A progress window, titled with the program's name, for jobs large enough that reading and
// sending them takes a moment.
class QtProgressIndicator final : public ProgressIndicator {
 public:
  QtProgressIndicator();
  ~QtProgressIndicator() override;
  void begin(const UserText& label, std::size_t total) override;
  void advance(std::size_t done) override;
  void end() override;

 private:
  struct Window;
  Window* window_ = nullptr;
  std::size_t total_ = 0;
};
