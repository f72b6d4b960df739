#include "storage/history.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int cap = 500;
// The most a store with cap 500 holds before it trims.
constexpr int fullFile = cap + cap / 10;

talvo::History::Entry sample(int i) {
  return {1700000000.0 + i,
          QStringLiteral("Let's meet at the cafe on Tuesday around ten, entry %1.").arg(i),
          QStringLiteral("lets meet at the cafe on tuesday around ten entry %1").arg(i),
          QStringLiteral("rules"),
          4.2,
          QStringLiteral("pasted")};
}

void HistoryRecent100(benchmark::State& state) {
  QTemporaryDir dir;
  talvo::History history(dir.filePath("history.jsonl"), cap);
  for (int i = 0; i < fullFile; ++i) history.append(sample(i));
  for (auto _ : state) benchmark::DoNotOptimize(history.recent(100));
}
BENCHMARK(HistoryRecent100)->Unit(benchmark::kMicrosecond);

// Appends to a file that stays between cap and cap * 1.1 entries, trims included.
void HistoryAppend(benchmark::State& state) {
  QTemporaryDir dir;
  talvo::History history(dir.filePath("history.jsonl"), cap);
  int i = 0;
  for (; i < fullFile; ++i) history.append(sample(i));
  for (auto _ : state) history.append(sample(i++));
}
BENCHMARK(HistoryAppend)->Unit(benchmark::kMicrosecond);

// One damaged line of state.range(0) MB between two entries.
void HistoryRecentPastAHugeLine(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.jsonl");
  {
    talvo::History history(path, cap);
    history.append(sample(0));
    QFile file(path);
    if (!file.open(QIODevice::Append)) state.SkipWithError("cannot write the file");
    const QByteArray megabyte(1 << 20, 'x');
    for (int64_t i = 0; i < state.range(0); ++i) file.write(megabyte);
    file.write("\n");
    file.close();
    history.append(sample(1));
  }
  talvo::History history(path, cap);
  std::size_t found = 0;
  for (auto _ : state) found = history.recent(100).size();
  state.counters["entries"] = double(found);
}
BENCHMARK(HistoryRecentPastAHugeLine)->Arg(60)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
