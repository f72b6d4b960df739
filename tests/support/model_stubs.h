#pragma once

#include "model/platform_facts.h"
#include "storage/login_item.h"

#include <vector>

// Stand-ins for the desktop behind the application model, for view tests and benchmarks.
namespace talvo::test {

// Launch at login held in memory: no autostart file is written.
struct MemoryLoginItem final : LoginItem {
  bool on = false;
  bool enabled() const override { return on; }
  void setEnabled(bool value) override { on = value; }
};

// A desktop where everything is allowed and no input device is plugged in.
struct AllowingFacts final : PlatformFacts {
  bool microphoneAllowed() override { return true; }
  bool typingAllowed() override { return true; }
  FnKeySetting fnSetting() override { return FnKeySetting::doNothing; }
  std::vector<InputDevice> inputDevices() override { return {}; }
};

}  // namespace talvo::test
