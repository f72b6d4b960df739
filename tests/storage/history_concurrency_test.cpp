#include "storage/history.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace talvo {
namespace {

constexpr int writers = 4;
constexpr int perWriter = 40;

History::Entry entry(int writer, int i) {
  return {double(writer * 1000 + i), QStringLiteral("said %1 %2").arg(writer).arg(i), "raw", "rules", 1.0, "pasted"};
}

bool wellFormed(const History::Entry& e) {
  const int writer = int(e.ts) / 1000;
  const int i = int(e.ts) % 1000;
  return e == entry(writer, i);
}

// Readers run alongside the writers and check every list they get.
void runConcurrently(History& history, std::atomic<int>& badReads, std::atomic<int>& reads) {
  std::atomic<bool> writing{true};
  std::vector<std::thread> threads;
  for (int w = 0; w < writers; ++w)
    threads.emplace_back([&history, w] {
      for (int i = 0; i < perWriter; ++i) history.append(entry(w, i));
    });
  for (int r = 0; r < 2; ++r)
    threads.emplace_back([&] {
      while (writing) {
        const auto seen = history.recent(10000);
        ++reads;
        std::vector<int> last(writers, 1 << 30);
        for (const auto& e : seen) {
          if (!wellFormed(e)) ++badReads;
          // Newest first: each writer's entries appear in descending order.
          const int w = int(e.ts) / 1000;
          if (int(e.ts) % 1000 >= last[w]) ++badReads;
          last[w] = int(e.ts) % 1000;
        }
      }
    });
  for (int w = 0; w < writers; ++w) threads[std::size_t(w)].join();
  writing = false;
  for (std::size_t t = writers; t < threads.size(); ++t) threads[t].join();
}

TEST(HistoryConcurrency, NoEntryIsLostAndNoReadSeesAHalfWrite) {
  QTemporaryDir dir;
  History history(dir.filePath("history.jsonl"), 1000);
  std::atomic<int> badReads{0};
  std::atomic<int> reads{0};
  runConcurrently(history, badReads, reads);
  EXPECT_EQ(badReads, 0);
  const auto all = history.recent(10000);
  ASSERT_EQ(all.size(), std::size_t(writers * perWriter));
  std::set<double> stamps;
  for (const auto& e : all) stamps.insert(e.ts);
  EXPECT_EQ(stamps.size(), all.size());
}

TEST(HistoryConcurrency, TrimmingUnderLoadKeepsTheNewest) {
  QTemporaryDir dir;
  History history(dir.filePath("history.jsonl"), 20);
  std::atomic<int> badReads{0};
  std::atomic<int> reads{0};
  runConcurrently(history, badReads, reads);
  EXPECT_EQ(badReads, 0);
  const auto kept = history.recent(10000);
  EXPECT_GE(kept.size(), 20u);
  EXPECT_LE(kept.size(), 22u);
  // Trimming keeps the newest entries, and each writer appends in order, so what is left
  // of any one writer is the tail of its sequence.
  std::vector<std::set<int>> byWriter(writers);
  for (const auto& e : kept) byWriter[std::size_t(e.ts) / 1000].insert(int(e.ts) % 1000);
  for (const auto& numbers : byWriter) {
    if (numbers.empty()) continue;
    EXPECT_EQ(*numbers.rbegin(), perWriter - 1);
    EXPECT_EQ(*numbers.rbegin() - *numbers.begin() + 1, int(numbers.size()));
  }
}

}  // namespace
}  // namespace talvo
