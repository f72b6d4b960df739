#pragma once

#include "audio/mic/input_device.h"
#include "hotkey/fn_key_setting.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvo {

// The desktop facts the settings and set-up screens show. Each call asks afresh.
class PlatformFacts {
public:
  virtual ~PlatformFacts() = default;
  // A sound server answers and has at least one input that is not a monitor.
  virtual bool microphoneAllowed() = 0;
  // Synthetic keys can be sent, so the paste keystroke works.
  virtual bool typingAllowed() = 0;
  virtual FnKeySetting fnSetting() = 0;
  virtual std::vector<InputDevice> inputDevices() = 0;
};

// The running desktop: PulseAudio for the inputs; typing as `canType` tells, or else as the
// X server's XTest does.
std::shared_ptr<PlatformFacts> makeDesktopFacts(std::function<bool()> canType = {});

// A program that opens the desktop's own settings at a page, with its arguments.
struct SettingsLink {
  QString program;
  QStringList arguments;
  bool operator==(const SettingsLink&) const = default;
};

}  // namespace talvo
