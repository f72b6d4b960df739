#include "storage/history.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A full file: 550 entries is the most a store with cap 500 holds before it trims.
void HistoryRecent100(benchmark::State& state) {
  QTemporaryDir dir;
  talvo::History history(dir.filePath("history.jsonl"), 500);
  for (int i = 0; i < 550; ++i)
    history.append({1700000000.0 + i, QStringLiteral("Let's meet at the cafe on Tuesday around ten, entry %1.").arg(i),
                    QStringLiteral("lets meet at the cafe on tuesday around ten entry %1").arg(i),
                    QStringLiteral("rules"), 4.2, QStringLiteral("pasted")});
  for (auto _ : state) benchmark::DoNotOptimize(history.recent(100));
}
BENCHMARK(HistoryRecent100)->Unit(benchmark::kMicrosecond);

void HistoryAppend(benchmark::State& state) {
  QTemporaryDir dir;
  talvo::History history(dir.filePath("history.jsonl"), 500);
  int i = 0;
  for (auto _ : state)
    history.append({1700000000.0 + i++, QStringLiteral("Some dictated text."), QStringLiteral("some dictated text"),
                    QStringLiteral("ai"), 2.0, QStringLiteral("pasted")});
}
BENCHMARK(HistoryAppend)->Unit(benchmark::kMicrosecond);

}  // namespace
