#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace talvo {

// Runs jobs one after another on a thread of its own, so that a slow or absent sound server or
// speech service never holds up the thread that asked. A cue or an utterance that comes late is
// worth less than none, so jobs beyond a small backlog are dropped, and the destructor drops
// whatever has not started yet (it waits only for the job already running).
class SerialWorker {
 public:
  using Job = std::function<void()>;

  explicit SerialWorker(std::size_t maxPending);
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Queues the job behind the others; when the backlog is full the job is dropped.
  void post(Job job);
  // Drops every job that has not started and queues this one in their place.
  void replace(Job job);

 private:
  void run(std::stop_token stop);

  const std::size_t maxPending_;
  std::mutex lock_;
  std::condition_variable_any wake_;
  std::deque<Job> pending_;
  std::jthread thread_;  // last, so that it starts after and stops before everything above
};

}  // namespace talvo
