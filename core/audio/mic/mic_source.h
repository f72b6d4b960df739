#pragma once

#include "audio/mic/audio_devices.h"
#include "audio/mic/audio_system.h"
#include "pipeline/contracts.h"
#include "pipeline/errors.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace talvo {

// The live microphone. It can pin capture to a device chosen by its persistent uid and
// survives device changes by replacing its engine, without rebuilding for the notices a
// new engine raises about itself while it starts up.
//
// Everything but the buffer handler is used on the main thread only.
class MicSource : public AudioSource, public std::enable_shared_from_this<MicSource> {
public:
  using Clock = std::chrono::steady_clock;

  // Buffers handed to onBuffer hold this many frames.
  static constexpr uint32_t kTapFrames = 1024;
  // Change notices this soon after an engine was set up are the engine's own.
  static constexpr std::chrono::milliseconds kQuietWindow{750};

  static std::shared_ptr<MicSource> create(std::shared_ptr<AudioSystem> system,
                                           std::optional<QString> preferredUID = std::nullopt);
  MicSource(const MicSource&) = delete;
  MicSource& operator=(const MicSource&) = delete;
  ~MicSource() override;

  AudioFormat format() const override;
  void setOnBuffer(BufferHandler handler) override;
  void prepare() override;
  void start() override;
  void stop() override;

  const std::optional<QString>& preferredUID() const { return preferredUID_; }
  void setPreferredUID(std::optional<QString> uid);
  bool running() const { return running_; }
  int rebuilds() const { return rebuilds_; }
  // The name to show for the microphone in use.
  QString deviceName() const;

  // Tests replace the clock to step through the quiet window.
  void setClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

private:
  MicSource(std::shared_ptr<AudioSystem> system, std::optional<QString> preferredUID);

  // "<device>/<rate>/<channels>/<uid or default>", e.g. 73/48000/1/default: what the
  // engine was set up for, to tell a real device change from the engine's own notices.
  QString deviceSignature() const;
  void selectPreferredDevice();
  void installTap();
  void watchConfiguration();
  void configurationChanged();
  void rebuild();
  void markSetUp();

  // The handler lives behind its own small lock because the capture thread reads it for
  // every buffer while the main thread may replace it at any time.
  struct HandlerSlot {
    std::mutex lock;
    std::shared_ptr<const BufferHandler> handler;
  };

  std::shared_ptr<AudioSystem> system_;
  AudioDevices devices_;
  std::unique_ptr<CaptureEngine> engine_;
  std::shared_ptr<HandlerSlot> slot_ = std::make_shared<HandlerSlot>();
  std::function<Clock::time_point()> now_ = [] { return Clock::now(); };

  bool tapped_ = false;
  AudioFormat tapFormat_;
  bool needsRebuild_ = false;
  bool observing_ = false;
  bool running_ = false;
  int rebuilds_ = 0;
  Clock::time_point quietUntil_ = Clock::time_point::min();
  QString builtFor_;
  std::optional<QString> preferredUID_;
};

}  // namespace talvo
