#include "pipeline/with_timeout.h"
#include "support/task_runner.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>

namespace talvo {
namespace {

using namespace std::chrono_literals;

// An operation that finishes after `delay` unless cancelled first; it records what
// happened to it, as a network request would.
struct Probe {
  bool cancelled = false;
  bool finished = false;
};

Operation<int> sleeper(std::chrono::milliseconds delay, std::shared_ptr<Probe> probe,
                       bool fail = false) {
  return [=](Cancellation cancel) -> QCoro::Task<int> {
    auto timer = std::make_shared<QTimer>();
    timer->setSingleShot(true);
    cancel.onCancel([probe, timer] {
      probe->cancelled = true;
      // A cancelled operation ends at once rather than running to its own end.
      timer->start(0);
    });
    timer->start(delay);
    co_await qCoro(timer.get()).waitForTimeout();
    if (probe->cancelled) throw Error(QStringLiteral("cancelled"));
    probe->finished = true;
    if (fail) throw Error(QStringLiteral("model refused"));
    co_return 7;
  };
}

double secondsSince(const QElapsedTimer& t) { return t.elapsed() / 1000.0; }

TEST(WithTimeout, ValueWins) {
  auto probe = std::make_shared<Probe>();
  EXPECT_EQ(test::run(withTimeout<int>(1.0, sleeper(100ms, probe))), 7);
  EXPECT_TRUE(probe->finished);
  EXPECT_FALSE(probe->cancelled);
}

TEST(WithTimeout, ErrorWins) {
  auto probe = std::make_shared<Probe>();
  try {
    test::run(withTimeout<int>(1.0, sleeper(50ms, probe, true)));
    FAIL() << "expected the operation's error";
  } catch (const TimeoutError&) {
    FAIL() << "the timer should have lost";
  } catch (const Error& e) {
    EXPECT_EQ(e.message(), "model refused");
  }
  EXPECT_FALSE(probe->cancelled);
}

TEST(WithTimeout, TimerWinsAndCancelsTheOperation) {
  auto probe = std::make_shared<Probe>();
  QElapsedTimer clock;
  clock.start();
  EXPECT_THROW(test::run(withTimeout<int>(0.5, sleeper(2000ms, probe))), TimeoutError);
  EXPECT_NEAR(secondsSince(clock), 0.5, 0.25);
  EXPECT_TRUE(probe->cancelled);
  // The cancelled operation winds down on its own and never completes its work.
  test::spinFor(0.1);
  EXPECT_FALSE(probe->finished);
}

TEST(WithTimeout, ImmediateOperationBeatsAZeroTimer) {
  Operation<int> ready = [](Cancellation) -> QCoro::Task<int> { co_return 3; };
  EXPECT_EQ(test::run(withTimeout<int>(0.0, ready)), 3);
}

TEST(WithTimeout, VoidOperations) {
  bool ran = false;
  Operation<void> op = [&](Cancellation) -> QCoro::Task<> {
    ran = true;
    co_return;
  };
  test::run(withTimeout<void>(1.0, op));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace talvo
