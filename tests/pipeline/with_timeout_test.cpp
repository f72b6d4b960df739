#include "pipeline/with_timeout.h"
#include "support/qt_printers.h"
#include "support/task_runner.h"

#include <QCoroTimer>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using namespace std::chrono_literals;

enum class Ends { atOnce, soonWithValue, soonWithError, never };

// What withTimeout gave when racing an operation that ends as told, or as soon as it is
// cancelled (as an aborted request would), and whether it was cancelled. The limit is far
// beyond the operation or short: the test never waits for a real time-out.
QString race(double limit, Ends ends) {
  auto cancelled = std::make_shared<bool>(false);
  auto ended = std::make_shared<bool>(false);
  Operation<int> operation = [=](Cancellation cancel) -> QCoro::Task<int> {
    if (ends == Ends::atOnce) co_return 7;
    auto wake = std::make_shared<QTimer>();
    wake->setSingleShot(true);
    cancel.onCancel([=] {
      *cancelled = true;
      wake->start(0);
    });
    wake->start(ends == Ends::never ? 1h : 0ms);
    co_await qCoro(wake.get()).waitForTimeout();
    *ended = true;
    if (ends == Ends::soonWithError || *cancelled) throw Error(QStringLiteral("refused"));
    co_return 7;
  };
  QString outcome;
  try {
    outcome = QString::number(test::run(withTimeout<int>(limit, operation)));
  } catch (const TimeoutError&) {
    outcome = "timed out";
  } catch (const Error& e) {
    outcome = e.message();
  }
  // A cancelled operation winds down by itself, without delivering.
  EXPECT_TRUE(test::spinUntil([&] { return *ended || ends == Ends::atOnce; }));
  return *cancelled ? outcome + ", cancelled" : outcome;
}

TEST(WithTimeout, FirstToFinishDecides) {
  EXPECT_EQ(race(60, Ends::soonWithValue), "7");
  EXPECT_EQ(race(60, Ends::soonWithError), "refused");
  EXPECT_EQ(race(0.01, Ends::never), "timed out, cancelled");
  EXPECT_EQ(race(0, Ends::atOnce), "7");
}

}  // namespace
}  // namespace talvo
