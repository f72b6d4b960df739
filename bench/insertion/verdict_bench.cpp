// The cost of one focus verdict and one caret lookup, with a Qt line edit focused.
#include "desktop/target_window.h"
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "insertion/atspi_focus_probe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

talvo::AtspiFocusProbe* probe = nullptr;

void Verdict(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(probe->verdict());
}
BENCHMARK(Verdict)->Unit(benchmark::kMicrosecond);

void CaretRect(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(talvo::Caret::rect());
}
BENCHMARK(CaretRect)->Unit(benchmark::kMicrosecond);

bool settle(talvo::FocusVerdict expected) {
  QElapsedTimer clock;
  clock.start();
  while (probe->verdict() != expected) {
    if (clock.elapsed() > 10000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  talvo::test::VirtualDesktop desktop({.accessibility = true, .windowManager = true});
  if (!desktop.problem().isEmpty()) {
    std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem()));
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
  QGuiApplication app(argc, argv);
  talvo::test::TargetWindow target;
  talvo::test::XKeyboard keyboard;
  talvo::AtspiFocusProbe theProbe{QCoreApplication::applicationPid()};
  probe = &theProbe;
  if (target.ask("focus line") != "ok" || !keyboard.focus(target.window()) ||
      !settle(talvo::FocusVerdict::text)) {
    std::fprintf(stderr, "the line edit never took the focus\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
