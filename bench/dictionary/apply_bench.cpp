#include "dictionary/user_dictionary.h"

#include <benchmark/benchmark.h>

namespace {

// 50 words and 50 fixes, of which a handful occur in the dictation.
talvo::UserDictionary dictionary(const QString& salt) {
  talvo::UserDictionary d;
  for (int i = 0; i < 50; ++i) d.words << QStringLiteral("Term%1%2").arg(i).arg(salt);
  for (int i = 0; i < 50; ++i)
    d.fixes.push_back(
        {QStringLiteral("heard phrase %1%2").arg(i).arg(salt), QStringLiteral("Meant%1").arg(i)});
  d.words << QStringLiteral("Marguerite") + salt;
  d.fixes.push_back({QStringLiteral("sequel") + salt, QStringLiteral("SQL")});
  d.fixes.push_back({QStringLiteral("new york") + salt, QStringLiteral("New York")});
  return d;
}

// Sixty words of dictation that mention three of the entries.
QString dictation(const QString& salt) {
  return QStringLiteral(
             "so I was talking to marguerite%1 yesterday about the sequel%1 database migration and "
             "she thinks we should move the whole reporting pipeline over before the end of the "
             "quarter because the new york%1 office keeps asking for faster dashboards and "
             "honestly "
             "the current setup is held together with tape so let's plan a short meeting next week "
             "to agree on the steps and who owns each part of it okay")
      .arg(salt);
}

// Steady state: the dictionary's phrases were seen before.
void ApplyWarm(benchmark::State& state) {
  const auto d = dictionary({});
  const QString text = dictation({});
  for (auto _ : state) benchmark::DoNotOptimize(d.apply(text));
}
BENCHMARK(ApplyWarm)->Unit(benchmark::kMicrosecond);

// The second pass, over text the first pass rewrote: it also looks for each found fix's
// meant phrase.
void ApplyAfterCleanupWarm(benchmark::State& state) {
  const auto d = dictionary({});
  const QString text = d.apply(dictation({}));
  for (auto _ : state) benchmark::DoNotOptimize(d.applyAfterCleanup(text));
}
BENCHMARK(ApplyAfterCleanupWarm)->Unit(benchmark::kMicrosecond);

// First use of a dictionary whose matching phrases were never compiled before.
void ApplyFirstUse(benchmark::State& state) {
  static int round = 0;  // never reused, also across repetitions
  for (auto _ : state) {
    state.PauseTiming();
    const QString salt = QStringLiteral("x%1").arg(round++);
    const auto d = dictionary(salt);
    const QString text = dictation(salt);
    state.ResumeTiming();
    benchmark::DoNotOptimize(d.apply(text));
  }
}
BENCHMARK(ApplyFirstUse)->Unit(benchmark::kMicrosecond);

void Terms(benchmark::State& state) {
  const auto d = dictionary({});
  for (auto _ : state) benchmark::DoNotOptimize(d.terms());
}
BENCHMARK(Terms)->Unit(benchmark::kMicrosecond);

}  // namespace
