#pragma once

#include "hotkey/hotkey_machine.h"
#include "hotkey/keyboard_sampler.h"

#include <functional>
#include <memory>

class QTimer;

namespace talvo {

// Samples the keyboard sixty times a second on the main thread and steps a
// HotkeyMachine with it. Sampling needs no event tap and no permission; the machine
// does the rest.
class HotkeyMonitor {
public:
  // QTimer counts whole milliseconds; 16 keeps the rate at (just above) sixty a second.
  static constexpr int intervalMs = 16;

  explicit HotkeyMonitor(HotkeyChoice choice,
                         KeyboardSamplerFactory samplerFactory = makeX11KeyboardSampler);
  ~HotkeyMonitor();
  HotkeyMonitor(const HotkeyMonitor&) = delete;
  HotkeyMonitor& operator=(const HotkeyMonitor&) = delete;

  // (Re)starts sampling. Without a keyboard to sample, logs once and stays idle.
  void start();
  void stop();
  bool isSampling() const;

  // One sampling step; the timer calls it.
  void tick();

  HotkeyMachine machine;
  std::function<void(const HotkeyEvent&)> onEvent;

private:
  bool ensureSampler();
  bool needsKeys(uint64_t flags) const;

  KeyboardSamplerFactory samplerFactory_;
  std::unique_ptr<KeyboardSampler> sampler_;
  bool samplerTried_ = false;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace talvo
