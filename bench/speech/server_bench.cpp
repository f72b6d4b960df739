// What the speech server path adds at release when the server answers at once, and what the
// WAV take costs in memory. The recogniser is a fake that finishes at once, so the figures
// are the plumbing alone: closing the take, the multipart request over loopback, parsing.
#include "speech/server_transcriber.h"
#include "speech/wav_take.h"
#include "support/fakes.h"
#include "support/loopback_http.h"
#include "support/task_runner.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <chrono>

namespace talvo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBufferFrames = 1024;
constexpr double kCaptureRate = 48000;

QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "server_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication instance(argc, argv);
  return instance;
}

int buffersFor(double seconds) { return int(seconds * kCaptureRate / kBufferFrames); }

// Release to text for a take of state.range(0) seconds; with range(1) == 0 the server is
// not set, which is the recogniser's own figure to compare with.
void BM_ReleaseToText(benchmark::State& state) {
  app();
  test::LoopbackHttp server;
  server.script("/", {});
  server.script("/inference", {.body = R"({"text":"he was not an ill disposed young man"})"});
  auto recogniser = std::make_shared<test::FakeTranscriber>();
  const bool withServer = state.range(1) != 0;
  auto transcriber = speech::ServerTranscriber::create(
      recogniser, {withServer ? server.url("/inference") : QUrl(), QString()});
  if (withServer)
    test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::ready; });
  const AudioBuffer buffer = test::levelBuffer(kBufferFrames, 0.25f, kCaptureRate);
  const int buffers = buffersFor(double(state.range(0)));
  double totalMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    recogniser->sessions.clear();
    recogniser->termsSeen.clear();
    auto session = test::run(transcriber->begin({"Vorlith"}, buffer.format(), {}));
    for (int i = 0; i < buffers; ++i) session->append(buffer);
    state.ResumeTiming();
    const auto release = Clock::now();
    benchmark::DoNotOptimize(test::run(session->finish()));
    totalMs += std::chrono::duration<double, std::milli>(Clock::now() - release).count();
  }
  state.counters["release_ms"] = totalMs / double(state.iterations());
}
BENCHMARK(BM_ReleaseToText)
    ->Args({5, 0})
    ->Args({5, 1})
    ->Args({60, 1})
    ->Unit(benchmark::kMillisecond);

// The memory the WAV take holds for a 60 s take captured at 48 kHz: the file's bytes and
// the allocation behind them. Nothing else is kept; buffers are converted as they arrive.
void BM_WavTakeSixtySeconds(benchmark::State& state) {
  const AudioBuffer buffer = test::levelBuffer(kBufferFrames, 0.25f, kCaptureRate);
  QByteArray file;
  for (auto _ : state) {
    speech::WavTake take;
    for (int i = 0; i < buffersFor(60); ++i) take.append(buffer);
    file = take.close();
    benchmark::DoNotOptimize(file.constData());
  }
  state.counters["file_MiB"] = double(file.size()) / (1 << 20);
  state.counters["allocated_MiB"] = double(file.capacity()) / (1 << 20);
}
BENCHMARK(BM_WavTakeSixtySeconds)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo
