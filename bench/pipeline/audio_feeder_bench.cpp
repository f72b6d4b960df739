// The feeder's push runs on the capture thread for every buffer: time per call, and heap
// allocations per call once a session is attached (should be none).
#include "pipeline/audio_feeder.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

namespace talvo {
namespace {

class NullSession : public TranscriptionSession {
public:
  void append(const AudioBuffer& buffer) override {
    benchmark::DoNotOptimize(buffer.frameLength());
  }
  QCoro::Task<QString> finish() override { co_return QString(); }
  QCoro::Task<> cancel() override { co_return; }
  std::vector<SpokenWord> recognizedWords() const override { return {}; }
};

void pushWithSession(benchmark::State& state) {
  AudioFeeder feeder;
  feeder.attach(feeder.reset(), std::make_shared<NullSession>());
  AudioBuffer buffer(floatFormat(48000, 1), 1024);
  for (uint32_t i = 0; i < 1024; ++i) buffer.floatChannel(0)[i] = float(i % 64) / 64.0f;
  buffer.setFrameLength(1024);

  const std::size_t before = test::allocationCount();
  for (auto _ : state) feeder.push(buffer);
  state.counters["allocs_per_push"] =
      benchmark::Counter(double(test::allocationCount() - before) / double(state.iterations()));
}
BENCHMARK(pushWithSession);

}  // namespace
}  // namespace talvo
