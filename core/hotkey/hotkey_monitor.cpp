#include "hotkey/hotkey_monitor.h"

#include "storage/log.h"

#include <QSocketNotifier>
#include <QTimer>

#include <chrono>

namespace talvo {

double HotkeyMonitor::monotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

HotkeyMonitor::HotkeyMonitor(HotkeyChoice choice, KeyboardSamplerFactory samplerFactory,
                             Clock clock)
    : machine_(choice),
      samplerFactory_(std::move(samplerFactory)),
      clock_(std::move(clock)),
      timer_(std::make_unique<QTimer>()) {
  // One timer for the monitor's whole life: restarting it can never leave a second one
  // running, and it dies with the monitor instead of firing into a dead object.
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(intervalMs);
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { timerTick(); });
}

HotkeyMonitor::~HotkeyMonitor() = default;

bool HotkeyMonitor::ensureSampler() {
  if (sampler_) return true;
  if (samplerTried_) return false;
  samplerTried_ = true;
  if (samplerFactory_) sampler_ = samplerFactory_();
  if (!sampler_)
    Log::info(QStringLiteral("hotkey: no X display to read the keyboard from; the hotkey is off"));
  if (sampler_) watchWakes();
  return sampler_ != nullptr;
}

void HotkeyMonitor::watchWakes() {
  const int descriptor = sampler_->wakeDescriptor();
  if (descriptor < 0) return;
  wakes_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  wakes_->setEnabled(started_);
  QObject::connect(wakes_.get(), &QSocketNotifier::activated, wakes_.get(), [this] { wake(); });
}

bool HotkeyMonitor::start() {
  timer_->stop();
  started_ = true;
  if (!ensureSampler()) {
    started_ = false;
    return false;
  }
  if (wakes_) wakes_->setEnabled(true);
  // The first timer tick takes stock of the keyboard, then rests if nothing is in play.
  timer_->start();
  return true;
}

void HotkeyMonitor::stop() {
  started_ = false;
  timer_->stop();
  if (wakes_) wakes_->setEnabled(false);
}

bool HotkeyMonitor::polling() const { return timer_->isActive(); }

// A key changed: sample at once, so a press is seen when it happens, then keep sampling
// until the keyboard is at rest again. Only a timer tick decides that it is, which gives
// the server at least one interval to settle after a change.
void HotkeyMonitor::wake() {
  sampler_->drainWakes();
  if (sampler_->lost()) {
    Log::info(QStringLiteral("hotkey: the keyboard's source went away; the hotkey is off"));
    stop();
    if (onLost) onLost();
    return;
  }
  tick();
  if (!timer_->isActive()) timer_->start();
}

// The machine decides only when a sample differs from the last, and every difference
// comes with a key change, so at rest there is nothing to sample until the next wake.
// Durations and the double-tap gap are measured from the clock at those samples.
// A key notice read along with this tick's sample means the keyboard is not at rest yet.
void HotkeyMonitor::timerTick() {
  tick();
  if (wakes_ && !busy_ && !sampler_->drainWakes()) timer_->stop();
}

bool HotkeyMonitor::needsKeys(uint64_t flags) const {
  return machine_.isHeld() || machine_.isLocked() || (flags & flagOf(machine_.choice())) != 0;
}

void HotkeyMonitor::tick() {
  if (!ensureSampler()) return;
  KeySnapshot snapshot;
  snapshot.flags = sampler_->flags();
  if (needsKeys(snapshot.flags)) snapshot.down = sampler_->down();
  auto event = machine_.step(snapshot, clock_());
  busy_ = needsKeys(snapshot.flags);
  if (busy_ != inPlay_) {
    inPlay_ = busy_;
    sampler_->setInPlay(inPlay_);
  }
  if (event && onEvent) onEvent(*event);
}

}  // namespace talvo
