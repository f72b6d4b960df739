#include "feedback/serial_worker.h"

#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <mutex>
#include <semaphore>
#include <string>

namespace talvo {
namespace {

// Bounds the wait for jobs that should run: one that never runs fails the test instead.
constexpr auto runTimeout = std::chrono::seconds(20);

struct Backlog {
  const char* name;
  std::size_t maxPending;
  std::string
      queued;  // while the worker is busy: "+x" posts job x, "=x" replaces the waiting jobs with it
  std::string ran;
};

class SerialWorkerTest : public ::testing::TestWithParam<Backlog> {};

TEST_P(SerialWorkerTest, RunsWhatWasQueuedWhileBusy) {
  std::mutex lock;
  std::string ran;
  std::counting_semaphore<> finished(0);
  const auto job = [&](char name) -> SerialWorker::Job {
    return [&, name] {
      std::lock_guard guard(lock);
      ran += name;
      finished.release();
    };
  };
  std::latch started(1);
  std::latch release(1);
  SerialWorker worker(GetParam().maxPending);
  worker.post([&] {
    started.count_down();
    release.wait();
  });
  started.wait();
  const std::string& queued = GetParam().queued;
  for (std::size_t i = 0; i + 1 < queued.size(); i += 2)
    queued[i] == '+' ? worker.post(job(queued[i + 1])) : worker.replace(job(queued[i + 1]));
  release.count_down();

  // Once the expected jobs have run, anything queued wrongly beside them runs before the last one.
  for (std::size_t i = 0; i < GetParam().ran.size(); ++i)
    ASSERT_TRUE(finished.try_acquire_for(runTimeout));
  worker.post(job('.'));
  ASSERT_TRUE(finished.try_acquire_for(runTimeout));
  std::lock_guard guard(lock);
  EXPECT_EQ(ran, GetParam().ran + '.');
}

INSTANTIATE_TEST_SUITE_P(Queues, SerialWorkerTest,
                         ::testing::Values(Backlog{"inOrder", 4, "+a+b+c", "abc"},
                                           Backlog{"beyondTheBacklog", 2, "+a+b+c", "ab"},
                                           Backlog{"replaced", 4, "+a+b=c", "c"},
                                           Backlog{"afterReplacing", 4, "=a+b", "ab"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A service that never answers must not hold up the program's exit.
TEST(SerialWorkerQuitTest, LeavesAJobThatHangsToFinishOnItsOwn) {
  const auto hung = std::make_shared<std::latch>(1);
  std::latch started(1);
  auto worker = std::make_unique<SerialWorker>(1, std::chrono::milliseconds(0));
  worker->post([hung, &started] {
    started.count_down();
    hung->wait();
  });
  started.wait();

  auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
  EXPECT_EQ(destroyed.wait_for(runTimeout), std::future_status::ready);
  hung->count_down();
}

}  // namespace
}  // namespace talvo
