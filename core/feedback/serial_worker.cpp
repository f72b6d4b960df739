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

SerialWorker::SerialWorker(std::size_t maxPending)
    : maxPending_(maxPending), thread_([this](std::stop_token stop) { run(std::move(stop)); }) {}

// The thread's own destructor asks it to stop, which wakes its wait, and joins it.
SerialWorker::~SerialWorker() = default;

void SerialWorker::post(Job job) {
  {
    std::lock_guard guard(lock_);
    if (pending_.size() >= maxPending_) return;
    pending_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SerialWorker::replace(Job job) {
  {
    std::lock_guard guard(lock_);
    pending_.clear();
    pending_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SerialWorker::run(std::stop_token stop) {
  blockBrokenPipe();
  for (;;) {
    Job job;
    {
      std::unique_lock guard(lock_);
      wake_.wait(guard, stop, [this] { return !pending_.empty(); });
      if (stop.stop_requested()) return;
      job = std::move(pending_.front());
      pending_.pop_front();
    }
    job();
  }
}

}  // namespace talvo
