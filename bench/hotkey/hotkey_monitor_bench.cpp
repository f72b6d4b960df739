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

// From a key change sent to the server to the monitor's event, with the monitor started
// and left to its own timing: how soon the bar can learn of a press or a release.
void KeyChangeToEvent(benchmark::State& state) {
  talvo::test::XKeyboard keyboard;
  keyboard.release("Control_R");
  double now = 0;
  talvo::HotkeyMonitor monitor(talvo::HotkeyChoice::rightControl, talvo::makeX11KeyboardSampler,
                               [&] { return now; });
  int events = 0;
  monitor.onEvent = [&](const talvo::HotkeyEvent&) { ++events; };
  if (!monitor.start()) return state.SkipWithError("no keyboard");
  bool down = false;
  for (auto _ : state) {
    now += 1;  // a second apart: every change is a hold or its release, never a tap
    down = !down;
    const int before = events;
    down ? keyboard.press("Control_R") : keyboard.release("Control_R");
    while (events == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  keyboard.release("Control_R");
}
BENCHMARK(KeyChangeToEvent)->Unit(benchmark::kMillisecond)->Iterations(200);

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
