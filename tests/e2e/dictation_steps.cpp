#include "e2e/dictation_steps.h"

#include "e2e/talvo_instance.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>

namespace talvo::test {

namespace {

constexpr char librivoxFolder[] = "/usr/share/pocketsphinx/test/data/librivox/";
constexpr int barTimeoutMs = 10000;
constexpr int playTimeoutMs = 30000;
// The end of the last word is still in the sound server's buffers when playing ends.
constexpr int trailingSilenceMs = 300;

}  // namespace

SpeechClip librivoxClip(const QString& number) {
  const QString name = "sense_and_sensibility_01_austen_64kb-" + number;
  SpeechClip clip{librivoxFolder + name + ".wav", {}};
  QFile transcription(QString::fromLatin1(librivoxFolder) + "transcription");
  if (!transcription.open(QIODevice::ReadOnly)) return clip;
  // Lines read "<s> the words </s> (name)".
  for (const QByteArray& line : transcription.readAll().split('\n'))
    if (line.contains("(" + name.toLatin1() + ")"))
      clip.reference =
          QString::fromUtf8(line).remove(QRegularExpression(R"(</?s>|\(.*\))")).simplified();
  return clip;
}

int clipMs(const SpeechClip& clip) {
  constexpr int wavHeaderBytes = 44;
  constexpr int bytesPerMs = 32;  // 16 kHz, 16-bit mono
  return int((QFileInfo(clip.path).size() - wavHeaderBytes) / bytesPerMs);
}

std::unique_ptr<PulseServer> startDictationSound() {
  auto pulse =
      std::make_unique<PulseServer>(PulseServer::virtualMicrophone() + PulseServer::outputOnly());
  if (pulse->running() && PulseServer::run("pactl", {"set-default-sink", "speakers"}) &&
      PulseServer::run("pactl", {"set-default-source", "vmic"}))
    return pulse;
  std::fprintf(stderr, "sound server: %s\n", qPrintable(pulse->log()));
  return nullptr;
}

bool speak(const SpeechClip& clip) {
  QProcess player;
  player.start("paplay", {"-d", "vmic_uplink", clip.path});
  return player.waitForFinished(playTimeoutMs) && player.exitStatus() == QProcess::NormalExit &&
         player.exitCode() == 0;
}

std::optional<XWindow> shownBar(XWindows& windows, qint64 pid) {
  // The bar's window exists from the start, parked far off screen while hidden. The tray
  // icon is override-redirect too, but docked in the tray host's window.
  for (const XWindow& w : windows.ofProcess(pid))
    if (w.topLevel && w.overrideRedirect && w.viewable && w.frame.right() >= 0 &&
        w.frame.bottom() >= 0)
      return w;
  return std::nullopt;
}

std::optional<quint64> barWindow(XWindows& windows, qint64 pid) {
  for (const XWindow& w : windows.ofProcess(pid))
    if (w.topLevel && w.overrideRedirect) return w.id;
  return std::nullopt;
}

std::optional<XWindow> shownWindow(XWindows& windows, qint64 pid, const QString& title) {
  for (const XWindow& w : windows.ofProcess(pid))
    if (!w.overrideRedirect && w.viewable && w.title == title) return w;
  return std::nullopt;
}

bool dictate(XKeyboard& keys, XWindows& windows, qint64 pid, const SpeechClip& clip) {
  if (!keys.press("Control_R")) return false;
  const bool listening =
      eventually([&] { return shownBar(windows, pid).has_value(); }, barTimeoutMs);
  const bool spoken = listening && speak(clip);
  if (spoken) runEventsFor(trailingSilenceMs);
  return keys.release("Control_R") && spoken;
}

}  // namespace talvo::test
