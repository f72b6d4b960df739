#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace talvo {

// Runs jobs one after another on a thread of its own, so that a slow or absent sound server or
// speech service never holds up the thread that asked. A cue or an utterance that comes late is
// worth less than none, so jobs beyond a small backlog are dropped, and the destructor drops
// whatever has not started yet.
//
// The destructor waits for the job already running only for a short grace: a service that hangs
// must not hang the program's exit with it. After that the thread is left to finish on its own,
// so a job must own (share) everything it touches rather than point into its owner.
class SerialWorker {
public:
  using Job = std::function<void()>;

  static constexpr std::chrono::milliseconds defaultQuitGrace{500};

  explicit SerialWorker(std::size_t maxPending,
                        std::chrono::milliseconds quitGrace = defaultQuitGrace);
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Queues the job behind the others; when the backlog is full the job is dropped.
  void post(Job job);
  // Drops every job that has not started and queues this one in their place.
  void replace(Job job);

private:
  struct Queue;

  static void run(const std::shared_ptr<Queue>& queue);

  const std::chrono::milliseconds quitGrace_;
  std::shared_ptr<Queue> queue_;  // shared with the thread, which may outlive this object
  std::thread thread_;
};

}  // namespace talvo
