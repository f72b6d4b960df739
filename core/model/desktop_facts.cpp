#include "model/platform_facts.h"

#include "audio/mic/audio_devices.h"
#include "audio/mic/pulse_audio_system.h"
#include "insertion/x11_desktop.h"

namespace talvo {
namespace {

class DesktopFacts final : public PlatformFacts {
public:
  explicit DesktopFacts(std::function<bool()> canType)
      : devices_(makePulseAudioSystem()), canType_(std::move(canType)) {}

  // The device list already leaves out monitors, so any entry is a real input.
  bool microphoneAllowed() override { return !devices_.inputs().empty(); }

  // The connection is kept, as refresh runs every second while a window is open.
  bool typingAllowed() override {
    if (canType_) return canType_();
    if (!x11_) x11_ = X11Desktop::open();
    return x11_ && x11_->hasXTest();
  }

  FnKeySetting fnSetting() override { return fn_key_setting::read(); }
  std::vector<InputDevice> inputDevices() override { return devices_.inputs(); }

private:
  AudioDevices devices_;
  std::function<bool()> canType_;
  std::unique_ptr<X11Desktop> x11_;
};

}  // namespace

std::shared_ptr<PlatformFacts> makeDesktopFacts(std::function<bool()> canType) {
  return std::make_shared<DesktopFacts>(std::move(canType));
}

}  // namespace talvo
