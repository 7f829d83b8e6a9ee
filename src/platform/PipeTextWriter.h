#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

class QSocketNotifier;

// Hands our clipboard text to a program that asked for it, through the descriptor it gave,
// from the event loop: a reader that is slow, never reads or has gone away never holds us up.
// Deletes itself once the text is written or the reader is given up.
class PipeTextWriter final : public QObject {
 public:
  // A reader that takes nothing for this long is given up.
  static constexpr std::chrono::milliseconds kPatience{10000};

  // Takes over `fd`; starts writing at once.
  static void start(QObject* parent, int fd, std::shared_ptr<const std::string> text);
  ~PipeTextWriter() override;

 private:
  PipeTextWriter(QObject* parent, int fd, std::shared_ptr<const std::string> text);
  void writeAvailable();
  void finish();

  int fd_;
  std::shared_ptr<const std::string> text_;
  std::size_t written_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer patience_;
};
