#include "hotkey/hotkey_monitor.h"

#include "storage/log.h"

#include <QTimer>

#include <chrono>

namespace talvo {

double HotkeyMonitor::monotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

HotkeyMonitor::HotkeyMonitor(HotkeyChoice choice, KeyboardSamplerFactory samplerFactory, Clock clock)
    : machine_(choice),
      samplerFactory_(std::move(samplerFactory)),
      clock_(std::move(clock)),
      timer_(std::make_unique<QTimer>()) {
  // One timer for the monitor's whole life: restarting it can never leave a second one
  // running, and it dies with the monitor instead of firing into a dead object.
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(intervalMs);
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { tick(); });
}

HotkeyMonitor::~HotkeyMonitor() = default;

bool HotkeyMonitor::ensureSampler() {
  if (sampler_) return true;
  if (samplerTried_) return false;
  samplerTried_ = true;
  if (samplerFactory_) sampler_ = samplerFactory_();
  if (!sampler_) Log::info(QStringLiteral("hotkey: no X display to read the keyboard from; the hotkey is off"));
  return sampler_ != nullptr;
}

bool HotkeyMonitor::start() {
  timer_->stop();
  if (!ensureSampler()) return false;
  timer_->start();
  return true;
}

void HotkeyMonitor::stop() { timer_->stop(); }

bool HotkeyMonitor::needsKeys(uint64_t flags) const {
  return machine_.isHeld() || machine_.isLocked() || (flags & flagOf(machine_.choice())) != 0;
}

void HotkeyMonitor::tick() {
  if (!ensureSampler()) return;
  KeySnapshot snapshot;
  snapshot.flags = sampler_->flags();
  if (needsKeys(snapshot.flags)) snapshot.down = sampler_->down();
  auto event = machine_.step(snapshot, clock_());
  if (event && onEvent) onEvent(*event);
}

}  // namespace talvo
