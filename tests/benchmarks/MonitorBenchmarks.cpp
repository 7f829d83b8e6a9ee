#include <benchmark/benchmark.h>

#include "intake/PastboardController.h"
#include "support/Fakes.h"

namespace {

// An idle tick: no ready marker, and a large text that is no job left on the clipboard. After
// the first look it must cost about one file-existence test.
void BM_IdleTick(benchmark::State& state) {
  TempFolder home;
  FixedPaths paths(home.path());
  FakeClipboard clipboard;
  FakeTicker ticker;
  FakePrintSystem printers;
  RecordingFolderJobs folderJobs;
  JobValues job;
  PastboardController controller({clipboard, paths, printers, ticker, folderJobs, job});
  clipboard.put(std::string(100'000'000, 'x'));
  controller.MonitorSharedFolder();
  for (auto _ : state) controller.MonitorSharedFolder();
  state.counters["clipboard_reads"] = clipboard.reads;
}
BENCHMARK(BM_IdleTick);

}  // namespace
