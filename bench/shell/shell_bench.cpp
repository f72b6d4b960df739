// Drives the real talvo on a virtual desktop with a private sound server, as the end-to-end
// tests do, and prints its figures:
//   key release -> dictated text in the target (median and worst of ten dictations),
//   key press -> bar on screen, launch -> tray icon and -> ready status,
//   idle processor use with no window open, resident memory after the dictations.
#include "desktop/target_window.h"
#include "desktop/virtual_desktop.h"
#include "e2e/dictation_steps.h"
#include "e2e/talvo_instance.h"
#include "shell/figures.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

using namespace talvo::test;
using namespace talvo::bench;

constexpr int dictations = 10;
constexpr int idleSeconds = 60;
// Lets the launch's own work (model load, first paint) finish before idling is measured.
constexpr int settleMs = 5000;
constexpr int outcomeTimeoutMs = 60000;
constexpr int launchTimeoutMs = 30000;
constexpr int barPollUs = 200;

// Milliseconds from launch until `seen` holds, -1 for never; each launch with fresh folders.
double untilSeen(const std::function<bool(const TalvoInstance&)>& seen) {
  TalvoInstance talvo(TalvoInstance::Options{});
  const Clock::time_point launch = Clock::now();
  if (!talvo.launch()) return -1;
  return eventually([&] { return seen(talvo); }, launchTimeoutMs) ? msSince(launch) : -1;
}

void launchFigures() {
  XWindows windows;
  report("launch -> tray icon present",
         untilSeen([&](const TalvoInstance& t) { return !windows.inTray(t.pid()).empty(); }), "ms");
  // The status line turns to the ready message once the recogniser is loaded, which the
  // log reports; the status line itself is only in the tray menu, out of reach of the
  // accessible tree.
  report("launch -> ready status",
         untilSeen([](const TalvoInstance& t) { return t.logged("speech: model warm"); }), "ms");
}

struct DictationFigures {
  std::vector<double> typed;  // key release -> text in the target, ms
  std::vector<double> bar;    // key press -> bar on screen, ms
};

// One dictation into the target's line field, timed.
bool timedDictation(TalvoInstance& talvo, TargetWindow& target, XKeyboard& keys, XWindows& windows,
                    const SpeechClip& clip, DictationFigures& figures) {
  target.ask("clear");
  const std::size_t before = talvo.history().size();
  const std::optional<quint64> bar = barWindow(windows, talvo.pid());
  // The last dictation's bar goes away on its own after a few seconds.
  if (!bar || !eventually([&] { return !windows.viewable(*bar); }, outcomeTimeoutMs)) return false;
  const Clock::time_point press = Clock::now();
  keys.press("Control_R");
  while (!windows.viewable(*bar) && msSince(press) < launchTimeoutMs) QThread::usleep(barPollUs);
  figures.bar.push_back(msSince(press));
  speak(clip);
  runEventsFor(300);
  keys.release("Control_R");
  const qint64 released = microsNow();
  if (!eventually([&] { return target.changedAt("line") > released; }, outcomeTimeoutMs))
    return false;
  figures.typed.push_back(double(target.changedAt("line") - released) / 1000.0);
  return eventually([&] { return talvo.history().size() > before; }, outcomeTimeoutMs);
}

// Idle load with no window open, then ten dictations and the memory they leave.
void runningFigures() {
  TalvoInstance talvo(TalvoInstance::Options{});
  if (!talvo.start()) return std::fprintf(stderr, "talvo did not start\n"), void();
  runEventsFor(settleMs);
  const double cpuBefore = cpuSeconds(talvo.pid());
  runEventsFor(idleSeconds * 1000);
  report("idle processor use, no window, 60 s",
         (cpuSeconds(talvo.pid()) - cpuBefore) / idleSeconds * 100, "% of a core");

  TargetWindow target;
  XKeyboard keys;
  XWindows windows;
  keys.focus(target.window());
  target.ask("focus line");
  const SpeechClip clip = librivoxClip("0880");
  DictationFigures figures;
  for (int i = 0; i < dictations; ++i)
    if (!timedDictation(talvo, target, keys, windows, clip, figures))
      std::fprintf(stderr, "dictation %d gave no text\n", i + 1);
  report("key release -> text in target, median", median(figures.typed), "ms");
  report("key release -> text in target, worst", worst(figures.typed), "ms");
  report("key press -> bar on screen, median", median(figures.bar), "ms");
  report("key press -> bar on screen, worst", worst(figures.bar), "ms");
  // The program's own account of each dictation, from its release to the paste key sent:
  // what the figure above spends inside the program rather than in the hotkey's sampling
  // and the target's handling of the paste.
  std::vector<double> recognising;
  std::vector<double> inside;
  const QRegularExpression timing(R"(stt (\d+)ms .* total (\d+)ms)");
  for (const QString& line : talvo.log().split(u'\n'))
    if (const auto match = timing.match(line); match.hasMatch())
      recognising.push_back(match.captured(1).toDouble()),
          inside.push_back(match.captured(2).toDouble());
  report("  of which recognition after release, median", median(recognising), "ms");
  report("  of which recognition after release, worst", worst(recognising), "ms");
  report("  of which release -> paste sent, worst", worst(inside), "ms");
  report("resident memory after the dictations", residentMegabytes(talvo.pid()), "MB");
}

}  // namespace

int main(int argc, char** argv) {
  VirtualDesktop desktop({.accessibility = true, .windowManager = true, .tray = true});
  if (!desktop.problem().isEmpty()) {
    std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem()));
    return 1;
  }
  QCoreApplication app(argc, argv);
  const auto sound = startDictationSound();
  if (!sound) return 1;
  launchFigures();
  runningFigures();
  return 0;
}
