// Release-to-text latency, accuracy and memory of the recogniser on the LibriVox clips.
// Audio is appended in real time, as the microphone would deliver it, so that the
// measured finish() is what a user waits for after letting go of the key.
#include "replay/word_error_rate.h"
#include "speech/sphinx_transcriber.h"
#include "support/task_runner.h"
#include "librivox.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace talvo {
namespace {

using Clock = std::chrono::steady_clock;

double peakRssMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "speech_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication instance(argc, argv);
  return instance;
}

void BM_ReleaseToText(benchmark::State& state) {
  app();
  auto transcriber = std::make_shared<speech::SphinxTranscriber>();
  test::run(transcriber->prepare(floatFormat(16000, 1)));
  const QStringList clips = bench::librivoxClips();
  std::vector<double> latencies;
  double errors = 0;
  double words = 0;
  for (auto _ : state) {
    for (const QString& id : clips) {
      const auto buffers = bench::readClip(bench::clipPath(id));
      auto session = test::run(transcriber->begin({}, buffers.front().format(), {}));
      const auto start = Clock::now();
      for (std::size_t i = 0; i < buffers.size(); ++i) {
        session->append(buffers[i]);
        std::this_thread::sleep_until(start + std::chrono::microseconds(64000 * (i + 1)));
      }
      const auto release = Clock::now();
      const QString text = test::run(session->finish());
      latencies.push_back(
          std::chrono::duration<double, std::milli>(Clock::now() - release).count());
      const QString reference = bench::referenceText(id);
      const double n = reference.split(u' ', Qt::SkipEmptyParts).size();
      errors += wordErrorRate(reference, text) * n;
      words += n;
    }
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_ms"] = latencies[latencies.size() / 2];
  state.counters["worst_ms"] = latencies.back();
  state.counters["wer"] = errors / words;
  state.counters["peak_rss_mb"] = peakRssMb();
}
BENCHMARK(BM_ReleaseToText)->Iterations(1)->Unit(benchmark::kSecond);

void BM_BeginWithWarmDecoder(benchmark::State& state) {
  app();
  auto transcriber = std::make_shared<speech::SphinxTranscriber>();
  test::run(transcriber->prepare(floatFormat(16000, 1)));
  for (auto _ : state) {
    auto session = test::run(transcriber->begin({}, floatFormat(48000, 1), {}));
    test::run(session->cancel());
  }
}
BENCHMARK(BM_BeginWithWarmDecoder)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvo
