#pragma once

#include "audio/mic/audio_system.h"
#include "audio/mic/pulse_connection.h"

#include <memory>
#include <optional>

struct pa_stream;

namespace talvo::pulse {

// One record stream on one source, float32 at the source's own rate and channels. The
// server hands over anything from a few frames to a fragment at a time; the engine
// regroups them into buffers of the tap's size, so consumers see steady chunks.
class Engine : public CaptureEngine {
public:
  explicit Engine(std::shared_ptr<Connection> connection);
  Engine(const Engine&) = delete;  // one owner closes the stream and stops listening
  Engine& operator=(const Engine&) = delete;
  ~Engine() override;

  AudioFormat inputFormat() override;
  std::optional<uint32_t> currentDevice() override;
  int setCurrentDevice(uint32_t id) override;
  void installTap(uint32_t frames, AudioFormat format, BufferHandler handler) override;
  void removeTap() override;
  void prepare() override {}
  void start() override;
  void stop() override;
  void setOnConfigurationChange(std::function<void()> handler) override;

  // Loop-thread entry points for the stream's callbacks.
  void readAvailable();
  void streamStateChanged();

private:
  struct Pinned {
    uint32_t index;
    QString name;
  };
  struct Tap {
    uint32_t frames = 0;
    AudioFormat format;
    QString source;
    BufferHandler handler;
  };

  std::optional<Source> source();
  // Interleaved float frames, or silence when `interleaved` is null.
  void append(const unsigned char* interleaved, size_t frames);
  void postChange();
  void closeStream();

  std::shared_ptr<Connection> connection_;
  int listener_ = 0;
  // Changes are posted to the main thread, where they find the handler through this box
  // only while the engine lives.
  struct ChangeBox {
    std::function<void()> handler;
  };
  std::shared_ptr<ChangeBox> changeBox_ = std::make_shared<ChangeBox>();
  std::optional<Pinned> pinned_;

  // Touched on the loop thread, or elsewhere only with the loop locked.
  std::optional<Tap> tap_;
  AudioBuffer pending_;
  pa_stream* stream_ = nullptr;
};

}  // namespace talvo::pulse
