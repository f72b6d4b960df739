// The cost of one sampling tick. It runs sixty times a second for the life of the
// program, so the idle tick (nothing pressed) is the figure that matters.
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "hotkey/hotkey_monitor.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void IdleTick(benchmark::State& state) {
  talvo::HotkeyMonitor monitor(talvo::HotkeyChoice::rightControl);
  for (auto _ : state) monitor.tick();
}
BENCHMARK(IdleTick)->Unit(benchmark::kMicrosecond);

// While the key is held the keymap is read as well.
void HoldingTick(benchmark::State& state) {
  talvo::test::XKeyboard keyboard;
  talvo::HotkeyMonitor monitor(talvo::HotkeyChoice::rightControl);
  keyboard.press("Control_R");
  monitor.tick();
  for (auto _ : state) monitor.tick();
  keyboard.release("Control_R");
}
BENCHMARK(HoldingTick)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  talvo::test::VirtualDesktop desktop({});
  if (!desktop.problem().isEmpty()) {
    std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem()));
    return 1;
  }
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
