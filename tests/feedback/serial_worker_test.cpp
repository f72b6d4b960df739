#include "feedback/serial_worker.h"

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <latch>
#include <mutex>
#include <string>
#include <vector>

namespace talvo {
namespace {

// Bounds the wait for jobs that should run; a job that never runs fails the test instead.
constexpr auto runTimeout = std::chrono::seconds(20);

// Notes the names of the jobs that ran, in order.
class Recorder {
 public:
  SerialWorker::Job job(std::string name) {
    return [this, name] {
      std::lock_guard guard(lock_);
      ran_.push_back(name);
      changed_.notify_all();
    };
  }
  std::vector<std::string> waitFor(std::size_t count) {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, runTimeout, [&] { return ran_.size() >= count; });
    return ran_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> ran_;
};

enum class Op { post, replace };

struct Step {
  Op op;
  const char* name;
};

struct Backlog {
  const char* name;
  std::size_t maxPending;
  std::vector<Step> steps;  // queued while the worker is busy with a first job
  std::vector<std::string> ran;
};

void PrintTo(const Backlog& c, std::ostream* out) { *out << c.name; }


class SerialWorkerTest : public ::testing::TestWithParam<Backlog> {};

TEST_P(SerialWorkerTest, RunsWhatWasQueuedWhileBusy) {
  Recorder recorder;
  std::latch started(1), release(1);
  SerialWorker worker(GetParam().maxPending);
  worker.post([&] {
    started.count_down();
    release.wait();
  });
  started.wait();
  for (const Step& step : GetParam().steps) {
    if (step.op == Op::post) worker.post(recorder.job(step.name));
    else worker.replace(recorder.job(step.name));
  }
  release.count_down();

  // Once the expected jobs have run, anything queued wrongly beside them runs before "end".
  ASSERT_EQ(recorder.waitFor(GetParam().ran.size()).size(), GetParam().ran.size());
  worker.post(recorder.job("end"));
  std::vector<std::string> expected = GetParam().ran;
  expected.push_back("end");
  EXPECT_EQ(recorder.waitFor(expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, SerialWorkerTest,
    ::testing::Values(Backlog{"inOrder", 4, {{Op::post, "a"}, {Op::post, "b"}, {Op::post, "c"}}, {"a", "b", "c"}},
                      Backlog{"beyondTheBacklog", 2, {{Op::post, "a"}, {Op::post, "b"}, {Op::post, "c"}}, {"a", "b"}},
                      Backlog{"replaced", 4, {{Op::post, "a"}, {Op::post, "b"}, {Op::replace, "c"}}, {"c"}},
                      Backlog{"afterReplacing", 4, {{Op::replace, "a"}, {Op::post, "b"}}, {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A service that never answers must not hold up the program's exit.
TEST(SerialWorkerQuitTest, LeavesAJobThatHangsToFinishOnItsOwn) {
  const auto hung = std::make_shared<std::latch>(1);
  const auto started = std::make_shared<std::latch>(1);
  auto worker = std::make_unique<SerialWorker>(1, std::chrono::milliseconds(0));
  worker->post([hung, started] {
    started->count_down();
    hung->wait();
  });
  started->wait();

  auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
  const bool returned = destroyed.wait_for(runTimeout) == std::future_status::ready;
  hung->count_down();
  destroyed.wait();

  EXPECT_TRUE(returned);
}

}  // namespace
}  // namespace talvo
