#include "audio/mic/pulse_audio_system.h"

#include "audio/mic/pulse_connection.h"
#include "audio/mic/pulse_engine.h"

namespace talvo {
namespace {

class PulseAudioSystem : public AudioSystem {
public:
  std::optional<std::vector<DeviceInfo>> devices() override {
    const auto sources = connection()->sources();
    if (!sources) return std::nullopt;
    std::vector<DeviceInfo> result;
    result.reserve(sources->size());
    for (const pulse::Source& source : *sources)
      result.push_back(DeviceInfo{source.index, source.name, source.description,
                                  source.monitor ? 0 : source.channels});
    return result;
  }

  std::optional<uint32_t> defaultInputDevice() override {
    const auto input = connection()->defaultInput();
    if (!input) return std::nullopt;
    return input->index;
  }

  std::optional<QString> deviceName(uint32_t id) override {
    const auto sources = connection()->sources();
    if (!sources) return std::nullopt;
    for (const pulse::Source& source : *sources)
      if (source.index == id) return source.description;
    return std::nullopt;
  }

  std::unique_ptr<CaptureEngine> makeEngine() override {
    return std::make_unique<pulse::Engine>(connection());
  }

private:
  // A server that went away, or was not there yet, is tried again on the next use.
  std::shared_ptr<pulse::Connection> connection() {
    if (!connection_ || !connection_->ready()) connection_ = pulse::Connection::open();
    return connection_;
  }

  std::shared_ptr<pulse::Connection> connection_;
};

}  // namespace

std::shared_ptr<AudioSystem> makePulseAudioSystem() { return std::make_shared<PulseAudioSystem>(); }

}  // namespace talvo
