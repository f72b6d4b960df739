#include "audio/mic/audio_devices.h"

namespace talvo {

std::vector<InputDevice> AudioDevices::inputs() const {
  std::vector<InputDevice> result;
  const auto all = system_->devices();
  if (!all) return result;
  for (const DeviceInfo& info : *all) {
    if (info.inputChannels == 0) continue;
    if (info.uid.isEmpty() || info.name.isEmpty()) continue;
    result.push_back(InputDevice{info.id, info.uid, info.name});
  }
  return result;
}

std::optional<InputDevice> AudioDevices::device(const QString& uid) const {
  for (InputDevice& input : inputs())
    if (input.uid == uid) return std::move(input);
  return std::nullopt;
}

std::optional<QString> AudioDevices::defaultInputName() const {
  const auto id = system_->defaultInputDevice();
  if (!id) return std::nullopt;
  auto name = system_->deviceName(*id);
  if (!name || name->isEmpty()) return std::nullopt;
  return name;
}

}  // namespace talvo
