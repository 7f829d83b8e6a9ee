#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>

#include "platform/InotifyFolderWatch.h"
#include "platform/QtClipboard.h"
#include "support/Fakes.h"
#include "support/RemoteClipboardOwner.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What tells the job monitor that a job may have arrived, against the real X server and inotify.
namespace {

// Runs the event loop for `span`, or until `done` holds.
void processEvents(std::chrono::milliseconds span, const std::function<bool()>& done = {}) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < span.count() && !(done && done())) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

TEST(ArrivalTest, AnotherProgramsTextIsNewsOurOwnRepliesAreNot) {
  QtClipboard clipboard;
  int news = 0;
  clipboard.onChangedByOthers([&] { ++news; });
  clipboard.setText("a reply of ours");
  processEvents(300ms);
  clipboard.clear();
  processEvents(300ms);
  EXPECT_EQ(news, 0);

  RemoteClipboardOwner owner;
  owner.offer("a job");
  processEvents(2s, [&] { return news > 0; });
  EXPECT_EQ(news, 1);
  clipboard.setText("the answer to it");
  processEvents(300ms);
  EXPECT_EQ(news, 1);
}

TEST(ArrivalTest, AFolderJobIsNewsOnceItsMarkerIsThereEvenInAFolderMadeLater) {
  TempFolder home;
  const fs::path folder = home.path() / "ZbDataDrive";
  InotifyFolderWatch watch;
  int news = 0;
  watch.watch(folder.string(), "pjobd.data", [&] { ++news; });

  writeFile(folder / "pjob.data", "a job written in two steps");
  processEvents(300ms);
  EXPECT_EQ(news, 0) << "the job file alone is not ready";
  writeFile(folder / "pjobd.data", "");
  processEvents(2s, [&] { return news > 0; });
  EXPECT_EQ(news, 1);

  // The folder removed, and put back with a job in it.
  fs::remove_all(folder);
  writeFile(home.path() / "staging" / "pjobd.data", "");
  processEvents(100ms);
  fs::rename(home.path() / "staging", folder);
  processEvents(2s, [&] { return news > 1; });
  EXPECT_EQ(news, 2);
}

}  // namespace
