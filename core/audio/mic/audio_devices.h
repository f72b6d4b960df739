#pragma once

#include "audio/mic/audio_system.h"
#include "audio/mic/input_device.h"

#include <memory>
#include <optional>
#include <vector>

namespace talvo {

// The machine's input devices for the microphone picker. Every call asks the sound
// system afresh, so the answer follows devices coming and going.
class AudioDevices {
public:
  explicit AudioDevices(std::shared_ptr<AudioSystem> system) : system_(std::move(system)) {}

  std::vector<InputDevice> inputs() const;
  std::optional<InputDevice> device(const QString& uid) const;
  std::optional<QString> defaultInputName() const;

private:
  std::shared_ptr<AudioSystem> system_;
};

}  // namespace talvo
