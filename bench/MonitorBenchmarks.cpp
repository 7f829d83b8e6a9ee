#include <benchmark/benchmark.h>

#include "intake/PastboardController.h"
#include "support/IntakeHarness.h"

namespace {

// An idle tick: no ready marker, and a large text that is no job left on the clipboard. After
// the first look it must cost about one file-existence test.
void BM_IdleTick(benchmark::State& state) {
  IntakeHarness harness;
  FakeClipboard& clipboard = harness.clipboard;
  PastboardController& controller = harness.controller;
  clipboard.put(std::string(100'000'000, 'x'));
  controller.MonitorSharedFolder();
  for (auto _ : state) controller.MonitorSharedFolder();
  state.counters["clipboard_reads"] = clipboard.reads;
}
BENCHMARK(BM_IdleTick);

}  // namespace
