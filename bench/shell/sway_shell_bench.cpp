// Drives the real talvo on a headless sway as a native Wayland program, as the sway end-to-end
// test does, and prints its figures:
//   key release -> dictated text in a native target (median and worst of ten dictations),
//   key press -> bar window in the compositor's tree, idle processor use with no window open.
// The key is held by one wtype process for the clip's length and a margin; it releases the
// key just before it ends, so its end is the release.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "desktop/virtual_desktop.h"
#include "e2e/dictation_steps.h"
#include "e2e/talvo_instance.h"
#include "shell/figures.h"
#include "sway/sway_ipc.h"
#include "sway/sway_tree.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

using namespace talvo::test;
using namespace talvo::bench;
namespace sway = talvo::sway;

constexpr int dictations = 10;
constexpr int idleSeconds = 60;
constexpr int settleMs = 5000;
constexpr int outcomeTimeoutMs = 60000;
constexpr int barTimeoutMs = 10000;
constexpr int barPollUs = 500;
constexpr int holdMarginMs = 1000;

struct DictationFigures {
  std::vector<double> typed;
  std::vector<double> bar;
};

bool timedDictation(TalvoInstance& talvo, TargetWindow& target, sway::Connection& ipc,
                    const SpeechClip& clip, DictationFigures& figures) {
  target.ask("clear");
  const std::size_t before = talvo.history().size();
  // The last dictation's bar goes away on its own after a few seconds.
  if (!eventually([&] { return !sway::firstWindowOf(ipc, talvo.pid()); }, outcomeTimeoutMs))
    return false;
  const int holdMs = clipMs(clip);
  QProcess typist;
  const Clock::time_point press = Clock::now();
  SwaySession::type(
      typist, {"-P", "Control_R", "-s", QString::number(holdMs + holdMarginMs), "-p", "Control_R"});
  while (!sway::firstWindowOf(ipc, talvo.pid()) && msSince(press) < barTimeoutMs)
    QThread::usleep(barPollUs);
  figures.bar.push_back(msSince(press));
  speak(clip);
  if (!typist.waitForFinished(outcomeTimeoutMs)) return false;
  const qint64 released = microsNow();
  if (!eventually([&] { return target.changedAt("line") > released; }, outcomeTimeoutMs))
    return false;
  figures.typed.push_back(double(target.changedAt("line") - released) / 1000.0);
  return eventually([&] { return talvo.history().size() > before; }, outcomeTimeoutMs);
}

int measure() {
  SwaySession session;
  if (!session.problem().isEmpty())
    return std::fprintf(stderr, "sway: %s\n", qPrintable(session.problem())), 1;
  const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/wayland-1";
  TalvoInstance talvo(TalvoInstance::Options{
      .environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", socket}}});
  if (!talvo.start()) return std::fprintf(stderr, "talvo did not start\n"), 1;
  runEventsFor(settleMs);
  const double cpuBefore = cpuSeconds(talvo.pid());
  runEventsFor(idleSeconds * 1000);
  report("idle processor use, no window, 60 s",
         (cpuSeconds(talvo.pid()) - cpuBefore) / idleSeconds * 100, "% of a core");

  TargetWindow target("wayland");
  target.ask("focus line");
  QString why;
  const auto ipc = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  if (!ipc) return std::fprintf(stderr, "sway IPC: %s\n", qPrintable(why)), 1;
  const SpeechClip clip = librivoxClip("0880");
  DictationFigures figures;
  for (int i = 0; i < dictations; ++i)
    if (!timedDictation(talvo, target, *ipc, clip, figures))
      std::fprintf(stderr, "dictation %d gave no text\n", i + 1);
  report("key release -> text in native target, median", median(figures.typed), "ms");
  report("key release -> text in native target, worst", worst(figures.typed), "ms");
  report("key press -> bar in the tree, median", median(figures.bar), "ms");
  report("key press -> bar in the tree, worst", worst(figures.bar), "ms");
  report("resident memory after the dictations", residentMegabytes(talvo.pid()), "MB");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The X server goes unused; the buses come with it.
  VirtualDesktop desktop({.accessibility = true});
  if (!desktop.problem().isEmpty())
    return std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem())), 1;
  QCoreApplication app(argc, argv);
  const auto sound = startDictationSound();
  return sound ? measure() : 1;
}
