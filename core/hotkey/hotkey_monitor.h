#pragma once

#include "hotkey/hotkey_machine.h"
#include "hotkey/keyboard_sampler.h"

#include <functional>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace talvo {

// Samples the keyboard sixty times a second on the main thread and steps a
// HotkeyMachine with it. Sampling needs no event tap and no permission; the machine
// does the rest. When the sampler can say that a key changed, sampling runs only while
// keys are in play and sleeps, costing nothing, until the next key change.
class HotkeyMonitor {
public:
  // QTimer counts whole milliseconds; 16 keeps the rate at (just above) sixty a second.
  static constexpr int intervalMs = 16;

  // Monotonic seconds; tests step it by hand.
  using Clock = std::function<double()>;

  explicit HotkeyMonitor(HotkeyChoice choice,
                         KeyboardSamplerFactory samplerFactory = makeX11KeyboardSampler,
                         Clock clock = monotonicSeconds);
  ~HotkeyMonitor();
  HotkeyMonitor(const HotkeyMonitor&) = delete;
  HotkeyMonitor& operator=(const HotkeyMonitor&) = delete;

  // (Re)starts sampling; the machine keeps its state. False, with one log line, when
  // there is no keyboard to sample: then the hotkey stays off.
  [[nodiscard]] bool start();
  void stop();

  // One sampling step; the timer calls it. Without a keyboard to sample it does nothing.
  void tick();

  // Whether the sampling timer runs; false while started but at rest, waiting for a key.
  bool polling() const;

  std::function<void(const HotkeyEvent&)> onEvent;
  // The keyboard's source went away for good (the compositor ended, the desktop refused the
  // shortcut); the monitor has stopped.
  std::function<void()> onLost;

private:
  static double monotonicSeconds();
  bool ensureSampler();
  bool needsKeys(uint64_t flags) const;
  void watchWakes();
  void wake();
  void timerTick();

  HotkeyMachine machine_;
  KeyboardSamplerFactory samplerFactory_;
  Clock clock_;
  std::unique_ptr<KeyboardSampler> sampler_;
  bool samplerTried_ = false;
  bool started_ = false;
  // Whether the last tick found keys in play or the machine mid-gesture.
  bool busy_ = false;
  // What the sampler was last told of that.
  bool inPlay_ = false;
  std::unique_ptr<QTimer> timer_;
  // Null when the sampler cannot say when keys change: then the timer never rests.
  std::unique_ptr<QSocketNotifier> wakes_;
};

}  // namespace talvo
