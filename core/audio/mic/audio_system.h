#pragma once

#include "pipeline/audio_buffer.h"
#include "pipeline/audio_format.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The few operations the microphone logic needs from the sound system. MicSource and
// AudioDevices hold all the decisions; implementations only report and obey.

namespace talvo {

// One device as the sound system reports it. An empty uid or name means it could not
// be read; inputChannels is 0 for devices that cannot be captured from (outputs, and
// monitors of outputs).
struct DeviceInfo {
  uint32_t id = 0;
  QString uid;
  QString name;
  uint32_t inputChannels = 0;

  bool operator==(const DeviceInfo&) const = default;
};

// One capture graph on one input device. The microphone replaces the whole engine when
// the device situation changes, so an engine never has to follow a change itself.
class CaptureEngine {
public:
  using BufferHandler = std::function<void(const AudioBuffer&)>;

  virtual ~CaptureEngine() = default;

  // The native format of the input the engine would capture; a sample rate of 0 or no
  // channels when there is no usable input.
  virtual AudioFormat inputFormat() = 0;
  // The device capture runs on, or nothing when it cannot be read.
  virtual std::optional<uint32_t> currentDevice() = 0;
  // Pins capture to a device. 0 on success, otherwise the sound system's status code.
  [[nodiscard]] virtual int setCurrentDevice(uint32_t id) = 0;

  // Buffers of exactly `frames` frames in `format`, delivered on the capture thread.
  virtual void installTap(uint32_t frames, AudioFormat format, BufferHandler handler) = 0;
  virtual void removeTap() = 0;

  virtual void prepare() = 0;
  // Throws talvo::Error when capture cannot begin.
  virtual void start() = 0;
  virtual void stop() = 0;

  // Called on the main thread whenever devices or the server's defaults may have changed,
  // including spurious notices while the engine sets itself up.
  virtual void setOnConfigurationChange(std::function<void()> handler) = 0;
};

class AudioSystem {
public:
  virtual ~AudioSystem() = default;

  // Every device in the system's order, or nothing when the query fails.
  virtual std::optional<std::vector<DeviceInfo>> devices() = 0;
  virtual std::optional<uint32_t> defaultInputDevice() = 0;
  virtual std::optional<QString> deviceName(uint32_t id) = 0;
  virtual std::unique_ptr<CaptureEngine> makeEngine() = 0;
};

}  // namespace talvo
