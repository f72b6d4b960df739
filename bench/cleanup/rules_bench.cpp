#include "cleanup/rules.h"

#include <benchmark/benchmark.h>

namespace {

// A typical held-key dictation: 25 words with fillers, a stutter and one correction.
const QString kDictation = QStringLiteral(
    "um so I was thinking we could uh meet on Tuesday scratch that let's meet on "
    "Wednesday at the the office around noon okay thanks");

void BM_RulesCleanDictation(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(talvo::Rules::clean(kDictation));
}
BENCHMARK(BM_RulesCleanDictation)->Unit(benchmark::kMicrosecond);

void BM_RulesNeedsAI(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(talvo::Rules::needsAI(kDictation));
}
BENCHMARK(BM_RulesNeedsAI)->Unit(benchmark::kMicrosecond);

// 100,000 characters with 2,000 scratch commands: the cut must stay linear.
void BM_RulesCleanManyScratches(benchmark::State& state) {
  QString text;
  for (int i = 0; i < 2000; ++i)
    text += QStringLiteral("Sentence number %1 is done. this part is wrong scratch that ").arg(i);
  for (auto _ : state) benchmark::DoNotOptimize(talvo::Rules::clean(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * text.size() * 2);
}
BENCHMARK(BM_RulesCleanManyScratches)->Unit(benchmark::kMillisecond);

}  // namespace
