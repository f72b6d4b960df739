#pragma once

#include "hotkey/key_set.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace talvo {

// The global keyboard state, in the machine's own flag bits and key codes (key_codes.h).
class KeyboardSampler {
public:
  virtual ~KeyboardSampler() = default;

  // The modifier flags currently in effect (key_flags bits).
  virtual uint64_t flags() = 0;
  // Every key currently down. Costlier than flags(), so asked only when it matters.
  virtual KeySet down() = 0;
};

using KeyboardSamplerFactory = std::function<std::unique_ptr<KeyboardSampler>()>;

// A sampler on an X connection of its own, or null when no X display can be opened.
std::unique_ptr<KeyboardSampler> makeX11KeyboardSampler();

}  // namespace talvo
