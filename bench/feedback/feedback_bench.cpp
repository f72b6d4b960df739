#include "audio/mic/pulse_server.h"
#include "feedback/sound_player.h"
#include "feedback/speaker.h"
#include "feedback/speech_client.h"
#include "feedback/theme_cues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace talvo {
namespace {

test::PulseServer& soundServer() {
  static test::PulseServer server(test::PulseServer::outputOnly());
  return server;
}

// A speech address where nothing answers, and a client configuration that forbids starting a
// daemon on demand, so the benchmark never leaves one running.
QTemporaryDir& noSpeechService() {
  static QTemporaryDir dir;
  static const bool once = [] {
    QDir(dir.path()).mkpath("speech-dispatcher");
    QFile config(dir.filePath("speech-dispatcher/speechd.conf"));
    const bool written =
        config.open(QIODevice::WriteOnly) && config.write("DisableAutoSpawn\n") > 0;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("SPEECHD_ADDRESS", "unix_socket:" + dir.filePath("none.sock").toUtf8());
    return written;
  }();
  benchmark::DoNotOptimize(once);
  return dir;
}

// The main thread's cost of a cue: handing it to the worker.
void BM_PlayOnCallingThread(benchmark::State& state) {
  if (!soundServer().running()) return state.SkipWithError("no sound server");
  const auto player = makeDesktopSoundPlayer();
  for (auto _ : state) player->play(Sound::tink);
}
BENCHMARK(BM_PlayOnCallingThread);

// The main thread's cost of a read-back: handing it to the worker.
void BM_SayOnCallingThread(benchmark::State& state) {
  noSpeechService();
  const auto speaker = makeDesktopSpeaker();
  const QString text = QStringLiteral("Meet me at the station at nine.");
  for (auto _ : state) speaker->say(text);
}
BENCHMARK(BM_SayOnCallingThread);

// The worker's cost of a cue once connected, the sound already in the server's cache.
void BM_CueOnWorkerWarm(benchmark::State& state) {
  if (!soundServer().running()) return state.SkipWithError("no sound server");
  ThemeCues cues;
  cues.play(Sound::tink);
  for (auto _ : state) cues.play(Sound::tink);
}
BENCHMARK(BM_CueOnWorkerWarm)->Unit(benchmark::kMicrosecond);

// The worker's cost of the first cue: connecting to the server, then playing.
void BM_CueOnWorkerConnecting(benchmark::State& state) {
  if (!soundServer().running()) return state.SkipWithError("no sound server");
  for (auto _ : state) {
    ThemeCues cues;
    cues.play(Sound::pop);
  }
}
BENCHMARK(BM_CueOnWorkerConnecting)->Unit(benchmark::kMillisecond);

// The worker's cost of a read-back when no speech service answers and none may be started.
void BM_SayOnWorkerWithoutService(benchmark::State& state) {
  noSpeechService();
  SpeechClient client;
  for (auto _ : state) client.say("Meet me at the station at nine.");
}
BENCHMARK(BM_SayOnWorkerWithoutService)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo
