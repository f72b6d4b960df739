#pragma once

#include <QString>

#include <cstdint>

namespace talvo {

// One input device as the settings picker lists it. `uid` survives restarts and is what
// the preferences store; `id` is only valid while the sound server runs.
struct InputDevice {
  uint32_t id = 0;
  QString uid;
  QString name;

  bool operator==(const InputDevice&) const = default;
};

}  // namespace talvo
