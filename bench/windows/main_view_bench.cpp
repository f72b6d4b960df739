// Opening the main window on a full history, and one keystroke in its search field, on the
// offscreen platform. Both include the event-loop turns that build and lay out the rows.
#include "windows/main_view.h"

#include "model/app_model.h"
#include "support/model_stubs.h"
#include "storage/settings_store.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using namespace talvo;

struct FullHistory {
  QTemporaryDir dir;
  AppModel model{std::make_shared<Preferences>(std::make_shared<MemorySettingsStore>(),
                                               std::make_shared<test::MemoryLoginItem>()),
                 std::make_shared<History>(dir.filePath("history.jsonl"), 500),
                 std::make_shared<test::AllowingFacts>(), dir.filePath("dictionary.json")};
  FullHistory() {
    const double now = QDateTime::currentSecsSinceEpoch();
    HistoryEntries entries;
    for (int i = 0; i < 500; ++i) {
      const QString text =
          QStringLiteral("Note %1: can you send me the chemistry notes from Friday").arg(i);
      entries.push_back(
          {now - 60.0 * i, text, text, QStringLiteral("rules"), 4, QStringLiteral("pasted")});
    }
    model.setEntries(entries);
  }
};

void settle() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void BM_OpenOnHistory(benchmark::State& state) {
  FullHistory history;
  for (auto _ : state) {
    MainView view(&history.model);
    view.setSection(Section::history);
    view.resize(760, 520);
    view.show();
    settle();
  }
}
BENCHMARK(BM_OpenOnHistory)->Unit(benchmark::kMillisecond)->Iterations(10);

// Opening on a full history until every row is built. A keystroke typed meanwhile waits for
// the turn under way, so the longest turn after the opening one is reported too.
void BM_BuildEveryRow(benchmark::State& state) {
  FullHistory history;
  double longest = 0;
  for (auto _ : state) {
    MainView view(&history.model);
    view.setSection(Section::history);
    view.resize(760, 520);
    view.show();
    auto* list = view.findChild<QWidget*>(QStringLiteral("historyList"));
    settle();
    while (list->findChildren<QWidget*>(QStringLiteral("historyRow"), Qt::FindDirectChildrenOnly)
               .size() < 500) {
      QElapsedTimer turn;
      turn.start();
      settle();
      longest = std::max(longest, turn.nsecsElapsed() / 1e6);
    }
  }
  state.counters["longest_turn_ms"] = longest;
}
BENCHMARK(BM_BuildEveryRow)->Unit(benchmark::kMillisecond)->Iterations(5);

// The history page with every row built, its search field holding `start`.
struct OpenHistory {
  FullHistory history;
  MainView view{&history.model};
  QLineEdit* search = nullptr;

  bool open(const QString& start) {
    view.setSection(Section::history);
    view.resize(760, 520);
    view.show();
    auto* list = view.findChild<QWidget*>(QStringLiteral("historyList"));
    // The rows past the first screenful are built in later turns; a keystroke is timed on all.
    const bool built = QTest::qWaitFor(
        [&] {
          return list->findChildren<QWidget*>(QStringLiteral("historyRow"),
                                              Qt::FindDirectChildrenOnly)
                     .size() == 500;
        },
        10000);
    search = view.findChild<QLineEdit*>(QStringLiteral("search"));
    QTest::keyClicks(search, start);
    settle();
    return built;
  }
};

// One key typed, then taken back, in turns: `key` after `start`.
void typeAndTakeBack(benchmark::State& state, const QString& start, Qt::Key key) {
  OpenHistory page;
  if (!page.open(start)) {
    state.SkipWithError("the history rows were not built");
    return;
  }
  bool typed = false;
  for (auto _ : state) {
    QTest::keyClick(page.search, typed ? Qt::Key_Backspace : key);
    typed = !typed;
    settle();
  }
}

// Typing on from a first letter, which matches every row: no row changes.
void BM_SearchKeystroke(benchmark::State& state) {
  typeAndTakeBack(state, QStringLiteral("n"), Qt::Key_O);
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond)->Iterations(40);

// "Note 4" and "Note 49": a hundred rows hidden, then shown again.
void BM_NarrowingKeystroke(benchmark::State& state) {
  typeAndTakeBack(state, QStringLiteral("note 4"), Qt::Key_9);
}
BENCHMARK(BM_NarrowingKeystroke)->Unit(benchmark::kMillisecond)->Iterations(40);

// The worst case: every row hidden by a letter nothing holds, then all 500 shown again.
void BM_NoMatchKeystroke(benchmark::State& state) {
  typeAndTakeBack(state, QStringLiteral("n"), Qt::Key_X);
}
BENCHMARK(BM_NoMatchKeystroke)->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
