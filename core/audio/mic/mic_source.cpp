#include "audio/mic/mic_source.h"

#include "pipeline/errors.h"
#include "storage/log.h"

namespace talvo {

std::shared_ptr<MicSource> MicSource::create(std::shared_ptr<AudioSystem> system,
                                             std::optional<QString> preferredUID) {
  return std::shared_ptr<MicSource>(new MicSource(std::move(system), std::move(preferredUID)));
}

MicSource::MicSource(std::shared_ptr<AudioSystem> system, std::optional<QString> preferredUID)
    : system_(std::move(system)),
      devices_(system_),
      engine_(system_->makeEngine()),
      preferredUID_(std::move(preferredUID)) {}

MicSource::~MicSource() {
  // The engine may still call back while it stops; its handlers only hold us weakly.
  engine_->setOnConfigurationChange({});
  engine_->stop();
}

AudioFormat MicSource::format() const {
  if (tapped_) return tapFormat_;
  return engine_->inputFormat();
}

void MicSource::setOnBuffer(BufferHandler handler) {
  auto shared = handler ? std::make_shared<const BufferHandler>(std::move(handler)) : nullptr;
  std::lock_guard guard(slot_->lock);
  slot_->handler = std::move(shared);
}

QString MicSource::deviceSignature() const {
  const AudioFormat live = engine_->inputFormat();
  return QStringLiteral("%1/%2/%3/%4")
      .arg(engine_->currentDevice().value_or(0))
      .arg(qint64(live.sampleRate))
      .arg(live.channels)
      .arg(preferredUID_.value_or(QStringLiteral("default")));
}

void MicSource::selectPreferredDevice() {
  if (!preferredUID_) return;
  const auto device = devices_.device(*preferredUID_);
  if (!device) return;
  const int status = engine_->setCurrentDevice(device->id);
  if (status != 0)
    Log::info(QStringLiteral("mic: couldn't select %1 (%2), using default")
                  .arg(device->name)
                  .arg(status));
}

void MicSource::installTap() {
  if (tapped_) engine_->removeTap();
  tapped_ = false;
  const AudioFormat native = engine_->inputFormat();
  if (native.sampleRate <= 0 || native.channels == 0) return;
  std::weak_ptr<HandlerSlot> weakSlot = slot_;
  engine_->installTap(kTapFrames, native, [weakSlot](const AudioBuffer& buffer) {
    const auto slot = weakSlot.lock();
    if (!slot) return;
    std::shared_ptr<const BufferHandler> handler;
    {
      std::lock_guard guard(slot->lock);
      handler = slot->handler;
    }
    if (handler && *handler) (*handler)(buffer);
  });
  tapFormat_ = native;
  tapped_ = true;
}

void MicSource::watchConfiguration() {
  std::weak_ptr<MicSource> weakSelf = weak_from_this();
  engine_->setOnConfigurationChange([weakSelf] {
    if (const auto self = weakSelf.lock()) self->configurationChanged();
  });
  observing_ = true;
}

void MicSource::markSetUp() {
  quietUntil_ = now_() + kQuietWindow;
  builtFor_ = deviceSignature();
}

void MicSource::prepare() {
  selectPreferredDevice();
  installTap();
  engine_->prepare();
  watchConfiguration();
  markSetUp();
}

void MicSource::start() {
  if (needsRebuild_) rebuild();
  if (!tapped_) {
    installTap();
    engine_->prepare();
    if (!tapped_) throw DictationError(DictationErrorCode::noMicrophone);
  }
  try {
    engine_->start();
  } catch (...) {
    Log::info(QStringLiteral("mic: start failed: ") + errorText(std::current_exception()));
    throw;
  }
  running_ = true;
}

void MicSource::stop() {
  engine_->stop();
  running_ = false;
}

void MicSource::configurationChanged() {
  if (now_() < quietUntil_) return;
  if (deviceSignature() == builtFor_) return;
  needsRebuild_ = true;
  if (running_) rebuild();
}

void MicSource::setPreferredUID(std::optional<QString> uid) {
  const bool same = uid == preferredUID_;
  preferredUID_ = std::move(uid);
  if (same) return;
  needsRebuild_ = true;
  if (running_) rebuild();
}

void MicSource::rebuild() {
  if (!needsRebuild_) return;
  needsRebuild_ = false;
  ++rebuilds_;
  const bool wasRunning = running_;
  if (observing_) {
    engine_->setOnConfigurationChange({});
    observing_ = false;
  }
  engine_->stop();
  if (tapped_) {
    engine_->removeTap();
    tapped_ = false;
  }
  engine_ = system_->makeEngine();
  selectPreferredDevice();
  installTap();
  engine_->prepare();
  watchConfiguration();
  markSetUp();
  const AudioFormat live = engine_->inputFormat();
  Log::info(
      QStringLiteral("mic: rebuilt for %1 Hz x%2").arg(qint64(live.sampleRate)).arg(live.channels));
  if (!wasRunning) return;
  try {
    engine_->start();
  } catch (...) {
    Log::info(QStringLiteral("mic: restart after device change failed: ") +
              errorText(std::current_exception()));
  }
}

QString MicSource::deviceName() const {
  if (preferredUID_)
    if (const auto device = devices_.device(*preferredUID_)) return device->name;
  if (const auto name = devices_.defaultInputName()) return *name;
  return QStringLiteral("your mic");
}

}  // namespace talvo
