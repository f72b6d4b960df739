// The cost of one focus verdict and one caret lookup, with a Qt line edit focused.
#include "desktop/child_process.h"
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "insertion/atspi_focus_probe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

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
  talvo::test::VirtualDesktop desktop(true);
  if (!desktop.ok()) {
    std::fprintf(stderr, "virtual desktop: %s\n", desktop.problem().c_str());
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
  QGuiApplication app(argc, argv);
  talvo::test::ChildProcess::Options options;
  options.pipes = true;
  options.env = {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}};
  talvo::test::ChildProcess target({TALVO_TEST_TARGET}, options);
  talvo::test::XKeyboard keyboard;
  talvo::AtspiFocusProbe theProbe{int64_t(getpid())};
  probe = &theProbe;
  target.writeLine("focus line");
  if (!target.readLine(10) || !keyboard.focusWindowOf(target.pid()) ||
      !settle(talvo::FocusVerdict::text)) {
    std::fprintf(stderr, "the line edit never took the focus\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
