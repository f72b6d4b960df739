#pragma once

#include "hotkey/hotkey_choice.h"
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

  // A descriptor that turns readable when any key goes down or up, so that the keyboard
  // need not be sampled while nothing happens; -1 when the sampler cannot tell, and the
  // keyboard must be sampled all the time.
  virtual int wakeDescriptor() const { return -1; }
  // Consumes the key notices that made the descriptor readable, or that were read along
  // with a sample. True when there were any.
  virtual bool drainWakes() { return false; }
  // Whether the keyboard's source went away for good (the compositor ended); then nothing
  // more will be read.
  virtual bool lost() const { return false; }
  // Told whether a gesture is in play (the key down, or a dictation locked on), so that a
  // sampler that must ask for the keys it hears can ask for Esc only then.
  virtual void setInPlay(bool /*inPlay*/) {}
};

using KeyboardSamplerFactory = std::function<std::unique_ptr<KeyboardSampler>()>;

// A sampler on an X connection of its own, or null when no X display can be opened.
std::unique_ptr<KeyboardSampler> makeX11KeyboardSampler();

// A sampler that hears the key through the IPC of sway (or another compositor that speaks
// it) at SWAYSOCK, or null, with a log line, when there is none to reach.
std::unique_ptr<KeyboardSampler> makeSwayKeyboardSampler(HotkeyChoice choice);

}  // namespace talvo
