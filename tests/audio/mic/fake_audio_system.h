#pragma once

#include "audio/mic/audio_system.h"
#include "pipeline/errors.h"

#include <map>
#include <memory>
#include <vector>

namespace talvo::test {

// A sound system whose devices the test edits by hand. Engines record what was done to
// them; the newest one is the one MicSource is using.
struct FakeWorld {
  std::vector<DeviceInfo> devices;
  std::map<uint32_t, AudioFormat> formats;
  std::optional<uint32_t> defaultInput;
  bool listFails = false;
  int selectStatus = 0;
  QString startError;  // non-empty: engines fail to start with this message
};

class FakeEngine : public CaptureEngine {
public:
  explicit FakeEngine(std::shared_ptr<FakeWorld> world) : world_(std::move(world)) {}

  AudioFormat inputFormat() override {
    const auto device = currentDevice();
    if (!device || !world_->formats.count(*device)) return floatFormat(0, 0);
    return world_->formats.at(*device);
  }
  std::optional<uint32_t> currentDevice() override {
    if (pinned) {
      for (const DeviceInfo& info : world_->devices)
        if (info.id == *pinned) return pinned;
      return std::nullopt;
    }
    return world_->defaultInput;
  }
  int setCurrentDevice(uint32_t id) override {
    if (world_->selectStatus == 0) pinned = id;
    return world_->selectStatus;
  }
  void installTap(uint32_t frames, AudioFormat format, BufferHandler handler) override {
    tapFrames = frames;
    tapFormat = format;
    tap = std::move(handler);
  }
  void removeTap() override { tap = nullptr; }
  void prepare() override { ++prepares; }
  void start() override {
    if (!world_->startError.isEmpty()) throw Error(world_->startError);
    started = true;
  }
  void stop() override { started = false; }
  void setOnConfigurationChange(std::function<void()> handler) override { onChange = std::move(handler); }

  // Delivers one buffer of `frames` frames through the tap, as the capture thread would.
  void deliver(uint32_t frames = 1024) {
    AudioBuffer buffer(tapFormat, frames);
    buffer.setFrameLength(frames);
    if (tap) tap(buffer);
  }
  void notify() {
    if (onChange) onChange();
  }

  std::optional<uint32_t> pinned;
  uint32_t tapFrames = 0;
  AudioFormat tapFormat;
  BufferHandler tap;
  int prepares = 0;
  bool started = false;
  std::function<void()> onChange;

private:
  std::shared_ptr<FakeWorld> world_;
};

class FakeAudioSystem : public AudioSystem {
public:
  std::optional<std::vector<DeviceInfo>> devices() override {
    if (world->listFails) return std::nullopt;
    return world->devices;
  }
  std::optional<uint32_t> defaultInputDevice() override { return world->defaultInput; }
  std::optional<QString> deviceName(uint32_t id) override {
    if (world->listFails) return std::nullopt;
    for (const DeviceInfo& info : world->devices)
      if (info.id == id) return info.name;
    return std::nullopt;
  }
  std::unique_ptr<CaptureEngine> makeEngine() override {
    auto engine = std::make_unique<FakeEngine>(world);
    engines.push_back(engine.get());
    return engine;
  }

  FakeEngine& engine() { return *engines.back(); }

  std::shared_ptr<FakeWorld> world = std::make_shared<FakeWorld>();
  std::vector<FakeEngine*> engines;  // owned by the microphone; only the last is alive
};

}  // namespace talvo::test
