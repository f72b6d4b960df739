#pragma once

#include "pipeline/contracts.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace talvo {

// Plays an audio file into the pipeline as a microphone would: 1024-frame float buffers
// at the file's own rate and channel count, delivered on a thread of its own ("file.audio")
// and paced like live capture. Memory stays at one buffer whatever the file's length.
class FileAudioSource final : public AudioSource {
public:
  static constexpr uint32_t chunk = 1024;

  // Opens the file; throws talvo::Error saying why when it cannot be opened or decoded.
  // `speed` 1 is real time, 2 twice as fast; 0 or less delivers as fast as possible.
  FileAudioSource(const QString& path, double speed);
  ~FileAudioSource() override;
  FileAudioSource(const FileAudioSource&) = delete;
  FileAudioSource& operator=(const FileAudioSource&) = delete;

  AudioFormat format() const override { return format_; }
  // Seconds of audio in the file.
  double duration() const;
  double speed() const { return speed_; }

  void setOnBuffer(BufferHandler handler) override;
  // Called on the delivery thread when a pass ends by itself (end of file or a read
  // failure), after its last buffer; not when stop() ends it.
  void setOnFinished(std::function<void()> handler);

  void prepare() override {}
  // Starts a pass from the first frame. Throws talvo::Error when the file cannot be
  // rewound (it was opened, so this means it went away).
  void start() override;
  // Returns once the delivery loop has ended; no buffer is delivered afterwards. Must not
  // be called from a handler.
  void stop() override;
  // True from start() until stop(), also after a pass has reached the end.
  bool playing() const { return playing_; }

private:
  struct File;
  using Job = std::function<void()>;

  void post(Job job);
  void runQueue();
  void deliver();
  bool pace(std::size_t framesSoFar, std::chrono::steady_clock::time_point began);

  std::unique_ptr<File> file_;
  AudioFormat format_;
  double speed_;
  std::atomic<bool> playing_{false};

  std::mutex handlerMutex_;
  BufferHandler onBuffer_;
  std::function<void()> onFinished_;

  std::mutex queueMutex_;
  std::condition_variable queueWake_;
  std::deque<Job> jobs_;
  bool quitting_ = false;
  std::thread queue_;
};

}  // namespace talvo
