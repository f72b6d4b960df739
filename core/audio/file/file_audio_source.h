#pragma once

#include "pipeline/contracts.h"

#include <QString>

#include <functional>
#include <memory>
#include <thread>

namespace talvo {

// Plays an audio file into the pipeline as a microphone would: 1024-frame float buffers
// at the file's own rate and channel count, delivered on a thread of its own ("file.audio")
// and paced like live capture. Memory stays at one buffer whatever the file's length.
class FileAudioSource final : public AudioSource {
public:
  static constexpr uint32_t chunk = 1024;

  // Opens the file; throws talvo::Error saying why when it cannot be opened or decoded.
  // Only regular files are opened (symbolic links are followed): a FIFO, a device or a
  // socket is refused before anything reads from it, since it could block or never end.
  // `speed` 1 is real time, 2 twice as fast; 0 or less delivers as fast as possible.
  FileAudioSource(const QString& path, double speed);
  // Safe on any thread, the delivery thread included (a handler may drop the last
  // reference): there the pass ends as soon as that handler returns.
  ~FileAudioSource() override;
  FileAudioSource(const FileAudioSource&) = delete;
  FileAudioSource& operator=(const FileAudioSource&) = delete;

  AudioFormat format() const override { return format_; }
  // Seconds of audio the header promises.
  double duration() const { return duration_; }

  void setOnBuffer(BufferHandler handler) override;
  // Called on the delivery thread when a pass ends by itself (end of file, a read failure
  // or a file that cannot be rewound), after its last buffer; not when stop() ends it.
  void setOnFinished(std::function<void()> handler);

  void prepare() override {}
  // Queues a pass over the whole file from its first frame and returns at once; never
  // throws. A pass queued while another is still delivering follows it.
  void start() override;
  // Returns once the delivery loop has ended; no buffer is delivered afterwards. Must not
  // be called from a handler, which would wait for itself.
  void stop() override;
  // True from start() until stop(), also after a pass has reached the end.
  bool playing() const;

private:
  struct Player;

  std::shared_ptr<Player> player_;  // shared with the delivery thread, which may outlive us
  AudioFormat format_;
  double duration_ = 0;
  std::thread thread_;
};

}  // namespace talvo
