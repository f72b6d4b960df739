#include "audio/mic/pulse_engine.h"

#include "pipeline/errors.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <cstring>

namespace talvo::pulse {
namespace {

void streamRead(pa_stream*, size_t, void* engine) { static_cast<Engine*>(engine)->readAvailable(); }
void streamState(pa_stream*, void* engine) { static_cast<Engine*>(engine)->streamStateChanged(); }

bool isFinal(pa_stream_state_t state) {
  return state == PA_STREAM_READY || state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

QString serverError(pa_context* context) {
  return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

}  // namespace

Engine::Engine(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {
  listener_ = connection_->addListener([this] { postChange(); });
}

Engine::~Engine() {
  if (listener_) connection_->removeListener(listener_);
  if (connection_->loop()) {
    Connection::Lock lock(*connection_);
    closeStream();
    tap_.reset();
  }
}

std::optional<Source> Engine::source() {
  if (!pinned_) return connection_->defaultInput();
  const auto all = connection_->sources();
  if (!all) return std::nullopt;
  for (const Source& source : *all)
    if (source.index == pinned_->index && source.name == pinned_->name) return source;
  return std::nullopt;
}

AudioFormat Engine::inputFormat() {
  const auto input = source();
  if (!input) return floatFormat(0, 0);
  return floatFormat(input->sampleRate, input->channels);
}

std::optional<uint32_t> Engine::currentDevice() {
  const auto input = source();
  if (!input) return std::nullopt;
  return input->index;
}

int Engine::setCurrentDevice(uint32_t id) {
  const auto all = connection_->sources();
  if (!all) return PA_ERR_CONNECTIONTERMINATED;
  for (const Source& source : *all) {
    if (source.index != id || source.monitor) continue;
    pinned_ = Pinned{source.index, source.name};
    return 0;
  }
  return PA_ERR_NOENTITY;
}

void Engine::installTap(uint32_t frames, AudioFormat format, BufferHandler handler) {
  const auto input = source();
  Tap tap{frames, format, input ? input->name : QString(), std::move(handler)};
  Connection::Lock lock(*connection_);
  closeStream();
  tap_ = std::move(tap);
}

void Engine::removeTap() {
  Connection::Lock lock(*connection_);
  closeStream();
  tap_.reset();
}

void Engine::start() {
  if (!tap_ || tap_->source.isEmpty()) throw Error(QStringLiteral("There is no input to capture."));
  if (!connection_->context()) throw Error(QStringLiteral("The sound server is not running."));
  pa_context* context = connection_->context();
  Connection::Lock lock(*connection_);
  if (stream_) return;
  if (pa_context_get_state(context) != PA_CONTEXT_READY)
    throw Error(QStringLiteral("The sound server is not running."));

  pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32NE, uint32_t(tap_->format.sampleRate),
                            uint8_t(tap_->format.channels)};
  if (!pa_sample_spec_valid(&sampleSpec)) throw DictationError(DictationErrorCode::noAudioFormat);
  stream_ = pa_stream_new(context, "Dictation", &sampleSpec, nullptr);
  if (!stream_) throw Error(serverError(context));
  pending_ = AudioBuffer(tap_->format, tap_->frames);
  pa_stream_set_state_callback(stream_, streamState, this);
  pa_stream_set_read_callback(stream_, streamRead, this);

  // Without a fragment size the server batches up to two seconds of audio per read.
  pa_buffer_attr attributes;
  attributes.maxlength = uint32_t(-1);
  attributes.tlength = uint32_t(-1);
  attributes.prebuf = uint32_t(-1);
  attributes.minreq = uint32_t(-1);
  attributes.fragsize = uint32_t(tap_->frames * pa_frame_size(&sampleSpec));
  const QByteArray device = tap_->source.toUtf8();
  if (pa_stream_connect_record(stream_, device.constData(), &attributes, PA_STREAM_ADJUST_LATENCY) <
      0) {
    const QString error = serverError(context);
    closeStream();
    throw Error(QStringLiteral("Couldn't start capture: ") + error);
  }
  while (!isFinal(pa_stream_get_state(stream_))) pa_threaded_mainloop_wait(connection_->loop());
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
    const QString error = serverError(context);
    closeStream();
    throw Error(QStringLiteral("Couldn't start capture: ") + error);
  }
}

void Engine::stop() {
  if (!connection_->loop()) return;
  Connection::Lock lock(*connection_);
  closeStream();
}

void Engine::closeStream() {
  if (!stream_) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
  pending_.setFrameLength(0);
}

void Engine::setOnConfigurationChange(std::function<void()> handler) {
  changeBox_->handler = std::move(handler);
}

void Engine::postChange() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  std::weak_ptr<ChangeBox> box = changeBox_;
  QMetaObject::invokeMethod(
      app,
      [box] {
        const auto alive = box.lock();
        if (!alive || !alive->handler) return;
        // The handler may replace this engine, so it runs from a copy.
        const auto handler = alive->handler;
        handler();
      },
      Qt::QueuedConnection);
}

void Engine::streamStateChanged() {
  const pa_stream_state_t state = pa_stream_get_state(stream_);
  // A source that goes away takes its streams with it.
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) postChange();
  pa_threaded_mainloop_signal(connection_->loop(), 0);
}

void Engine::readAvailable() {
  const size_t frameBytes = sizeof(float) * tap_->format.channels;
  while (stream_ && pa_stream_readable_size(stream_) > 0) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return;
    // Null data is a hole, audio the server lost; silence keeps the take's length true.
    append(static_cast<const unsigned char*>(data), bytes / frameBytes);
    pa_stream_drop(stream_);
  }
}

void Engine::append(const unsigned char* interleaved, size_t frames) {
  const uint32_t channels = tap_->format.channels;
  for (size_t frame = 0; frame < frames; ++frame) {
    const uint32_t at = pending_.frameLength();
    for (uint32_t channel = 0; channel < channels; ++channel) {
      float* to = pending_.floatChannel(channel) + at;
      if (interleaved)
        std::memcpy(to, interleaved + (frame * channels + channel) * sizeof(float), sizeof(float));
      else
        *to = 0.0f;
    }
    pending_.setFrameLength(at + 1);
    if (pending_.frameLength() == pending_.frameCapacity()) {
      if (tap_->handler) tap_->handler(pending_);
      pending_.setFrameLength(0);
    }
  }
}

}  // namespace talvo::pulse
