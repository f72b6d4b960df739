// What the Wayland paste costs on sway: the paste keystroke through the virtual keyboard,
// and taking over the clipboard, each until the compositor has it. On a headless sway of
// its own.
#include "desktop/sway_session.h"
#include "insertion/clipboard.h"
#include "insertion/wayland_clipboard.h"
#include "insertion/wayland_keyboard.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<talvo::WaylandKeyboard> keyboard;
std::unique_ptr<talvo::WaylandClipboard> clipboard;

void PasteKeystroke(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(keyboard->press(talvo::PasteKeys::ctrlV));
}
BENCHMARK(PasteKeystroke)->Unit(benchmark::kMicrosecond);

void ClipboardTakeOver(benchmark::State& state) {
  const talvo::ClipboardItem item = talvo::clipboard_types::pasteItem("dictated words");
  for (auto _ : state) clipboard->write({item});
}
BENCHMARK(ClipboardTakeOver)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  talvo::test::SwaySession session;
  QString why;
  if (session.problem().isEmpty()) keyboard = talvo::WaylandKeyboard::open(why);
  if (keyboard) clipboard = talvo::WaylandClipboard::open(why);
  if (!clipboard) {
    std::fprintf(stderr, "no headless sway: %s%s\n", qPrintable(session.problem()),
                 qPrintable(why));
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  clipboard.reset();
  keyboard.reset();
  return 0;
}
