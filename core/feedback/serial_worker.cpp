#include "feedback/serial_worker.h"

#include <csignal>
#include <pthread.h>

namespace talvo {
namespace {

// A service that goes away leaves its socket closed under us, and writing to it would raise
// SIGPIPE, whose default action ends the whole program. The signal is directed at the writing
// thread, so blocking it here turns that write into a plain error for this thread alone.
void blockBrokenPipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace

struct SerialWorker::Queue {
  explicit Queue(std::size_t maxPending) : maxPending(maxPending) {}

  const std::size_t maxPending;
  std::mutex lock;
  std::condition_variable wake, finished;
  std::deque<Job> pending;
  bool stopping = false;
  bool done = false;
};

SerialWorker::SerialWorker(std::size_t maxPending, std::chrono::milliseconds quitGrace)
    : quitGrace_(quitGrace),
      queue_(std::make_shared<Queue>(maxPending)),
      thread_([queue = queue_] { run(queue); }) {}

SerialWorker::~SerialWorker() {
  std::unique_lock guard(queue_->lock);
  queue_->stopping = true;
  queue_->pending.clear();
  queue_->wake.notify_one();
  const bool done = queue_->finished.wait_for(guard, quitGrace_, [this] { return queue_->done; });
  guard.unlock();
  if (done)
    thread_.join();
  else
    thread_.detach();
}

void SerialWorker::post(Job job) {
  {
    std::lock_guard guard(queue_->lock);
    if (queue_->pending.size() >= queue_->maxPending) return;
    queue_->pending.push_back(std::move(job));
  }
  queue_->wake.notify_one();
}

void SerialWorker::replace(Job job) {
  {
    std::lock_guard guard(queue_->lock);
    queue_->pending.clear();
    queue_->pending.push_back(std::move(job));
  }
  queue_->wake.notify_one();
}

void SerialWorker::run(const std::shared_ptr<Queue>& queue) {
  blockBrokenPipe();
  for (;;) {
    Job job;
    {
      std::unique_lock guard(queue->lock);
      queue->wake.wait(guard, [&] { return queue->stopping || !queue->pending.empty(); });
      if (queue->stopping) {
        queue->done = true;
        queue->finished.notify_all();
        return;
      }
      job = std::move(queue->pending.front());
      queue->pending.pop_front();
    }
    job();
  }
}

}  // namespace talvo
