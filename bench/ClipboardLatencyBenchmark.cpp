// zelbrin-clipboard-latency-benchmark: how late the event loop answers while the clipboard reads
// another program's text: a 50 MB text in pieces, an owner that stalls in the middle of a
// transfer, an owner that never answers. A 10 ms timer stands for the tray menu and the windows:
// how late it fires is what a user would feel. The clipboard is read the way the job monitor
// reads it, on its notice and once a second. Needs an X display (tests/env/testenv.sh exec);
// prints figures, judges none.

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/QtClipboard.h"
#include "support/RemoteClipboardOwner.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Scenario {
  const char* name;
  std::size_t pieceSize;
  std::size_t textBytes;
  std::chrono::milliseconds late;  // the owner's delay, see RemoteClipboardOwner::answerLate
  int afterPieces;
  std::chrono::seconds span;  // the most the scenario runs
};

double milliseconds(Clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

void measure(const Scenario& scenario) {
  QtClipboard clipboard;
  QEventLoop loop;
  QTimer soon;  // the job monitor's tick on a notice comes a few milliseconds later
  soon.setSingleShot(true);
  soon.setInterval(5);
  clipboard.onChangedByOthers([&] { soon.start(); });
  QTimer tick;
  tick.setInterval(1000);
  std::size_t reads = 0;
  std::string outcome = "no answer";
  const auto offered = Clock::now();
  bool done = false;
  const auto readOnce = [&] {
    if (done) return;
    ++reads;
    const Clipboard::Content content = clipboard.read();
    if (!content.answered) return;
    done = true;
    char line[96];
    std::snprintf(line, sizeof line, "%s after %.2f s", content.text ? "text in" : "looked at",
                  std::chrono::duration<double>(Clock::now() - offered).count());
    outcome = line;
    // A little longer, so that the timer also reports a read that held the event loop.
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
  };
  QObject::connect(&soon, &QTimer::timeout, readOnce);
  QObject::connect(&tick, &QTimer::timeout, readOnce);

  std::vector<double> lateness;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(10);
  auto last = Clock::now();
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    lateness.push_back(std::max(0.0, milliseconds(now - last) - 10));
    last = now;
  });
  QTimer::singleShot(scenario.span, &loop, &QEventLoop::quit);

  RemoteClipboardOwner owner(scenario.pieceSize);
  owner.answerLate(scenario.late, scenario.afterPieces);
  owner.offer(std::string(scenario.textBytes, 'J'));
  tick.start();
  probe.start();
  last = Clock::now();
  loop.exec();

  std::sort(lateness.begin(), lateness.end());
  const auto at = [&](double share) {
    return lateness.empty() ? 0.0
                            : lateness[static_cast<std::size_t>(share * (lateness.size() - 1))];
  };
  std::printf("  %-44s median %6.1f ms  p99 %7.1f ms  worst %7.1f ms  (%zu reads, %s)\n",
              scenario.name, at(0.5), at(0.99), lateness.empty() ? 0.0 : lateness.back(), reads,
              outcome.c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  const Scenario scenarios[] = {
      {"(a) 50 MB text in pieces of 256 KiB", 256 << 10, 50'000'000, 0ms, 0, 60s},
      {"(b) 8 MB in pieces, owner stalls 3 s after 4", 256 << 10, 8'000'000, 3000ms, 4, 30s},
      {"(c) owner that never answers, 5 s", 0, 100, 3600'000ms, 0, 5s},
  };
  std::printf(
      "Lateness of a 10 ms timer while the clipboard reads another program's text (target: "
      "within 100 ms)\n");
  for (const Scenario& scenario : scenarios) measure(scenario);
  return 0;
}
