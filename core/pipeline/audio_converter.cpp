#include "pipeline/audio_converter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace talvo {
namespace {

// Room for the resampler's output per call, beyond the ideal length.
constexpr std::size_t resamplerSlack = 64;

bool convertible(const AudioFormat& f) {
  return f.sampleType == SampleType::float32 && f.channels > 0 && std::isfinite(f.sampleRate) &&
         f.sampleRate >= 1.0;
}

}  // namespace

struct AudioConverter::Resampler {
  soxr_t handle = nullptr;
  Resampler() = default;
  Resampler(const Resampler&) = delete;  // one owner deletes the handle
  Resampler& operator=(const Resampler&) = delete;
  ~Resampler() {
    if (handle) soxr_delete(handle);
  }
};

std::unique_ptr<AudioConverter> AudioConverter::create(const AudioFormat& from,
                                                       const AudioFormat& to) {
  if (!convertible(from) || !convertible(to)) return nullptr;
  auto resampler = std::make_unique<Resampler>();
  if (from.sampleRate != to.sampleRate) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    resampler->handle =
        soxr_create(from.sampleRate, to.sampleRate, to.channels, &error, &io, &quality, nullptr);
    if (error || !resampler->handle) return nullptr;
  }
  return std::unique_ptr<AudioConverter>(new AudioConverter(from, to, std::move(resampler)));
}

uint32_t AudioConverter::outputCapacity(const AudioFormat& to, const AudioBuffer& input) {
  const double frames = to.sampleRate * input.frameLength() / input.format().sampleRate + 64;
  return frames > 0 ? static_cast<uint32_t>(frames) : 0;
}

AudioConverter::AudioConverter(const AudioFormat& from, const AudioFormat& to,
                               std::unique_ptr<Resampler> r)
    : from_(from), to_(to), resampler_(std::move(r)) {}

AudioConverter::~AudioConverter() = default;

long AudioConverter::convert(AudioBuffer& output, const InputBlock& input) {
  if (output.format() != to_) return -1;
  while (produced_.size() < std::size_t(output.frameCapacity()) * to_.channels) {
    const AudioBuffer* next = input ? input() : nullptr;
    if (!next) break;
    if (next->format() != from_ || !feed(*next)) return -1;
  }
  return deliver(output);
}

long AudioConverter::flush(AudioBuffer& output) {
  if (output.format() != to_) return -1;
  if (!flushed_ && resampler_->handle) {
    flushed_ = true;
    if (!drainResampler()) return -1;
  }
  return deliver(output);
}

// Maps the input's channels onto the output's: a mono output averages every input
// channel; otherwise output channel c takes input channel c, or the last one there is.
bool AudioConverter::feed(const AudioBuffer& input) {
  const uint32_t frames = input.frameLength();
  const uint32_t outChannels = to_.channels;
  mixed_.assign(std::size_t(frames) * outChannels, 0.0f);
  if (outChannels == 1) {
    const float scale = 1.0f / float(from_.channels);
    for (uint32_t ch = 0; ch < from_.channels; ++ch) {
      const float* src = input.floatChannel(ch);
      for (uint32_t i = 0; i < frames; ++i) mixed_[i] += src[i] * scale;
    }
  } else {
    for (uint32_t ch = 0; ch < outChannels; ++ch) {
      const float* src = input.floatChannel(std::min(ch, from_.channels - 1));
      for (uint32_t i = 0; i < frames; ++i) mixed_[std::size_t(i) * outChannels + ch] = src[i];
    }
  }

  if (!resampler_->handle) {
    produced_.insert(produced_.end(), mixed_.begin(), mixed_.end());
    return true;
  }
  const double ratio = to_.sampleRate / from_.sampleRate;
  std::size_t offset = 0;
  while (offset < frames) {
    const std::size_t room = std::size_t(std::ceil((frames - offset) * ratio)) + resamplerSlack;
    const std::size_t before = produced_.size();
    produced_.resize(before + room * outChannels);
    size_t used = 0;
    size_t made = 0;
    soxr_error_t error =
        soxr_process(resampler_->handle, mixed_.data() + offset * outChannels, frames - offset,
                     &used, produced_.data() + before, room, &made);
    produced_.resize(before + made * outChannels);
    if (error) return false;
    offset += used;
    if (used == 0 && made == 0) break;
  }
  return true;
}

bool AudioConverter::drainResampler() {
  constexpr std::size_t chunk = 4096;
  for (;;) {
    const std::size_t before = produced_.size();
    produced_.resize(before + chunk * to_.channels);
    size_t made = 0;
    soxr_error_t error = soxr_process(resampler_->handle, nullptr, 0, nullptr,
                                      produced_.data() + before, chunk, &made);
    produced_.resize(before + made * to_.channels);
    if (error) return false;
    if (made == 0) return true;
  }
}

long AudioConverter::deliver(AudioBuffer& output) {
  const uint32_t channels = to_.channels;
  const std::size_t available = produced_.size() / channels;
  const uint32_t frames = uint32_t(std::min<std::size_t>(available, output.frameCapacity()));
  const float* src = produced_.data();
  for (uint32_t ch = 0; ch < channels; ++ch) {
    float* dst = output.floatChannel(ch);
    for (uint32_t i = 0; i < frames; ++i) dst[i] = src[std::size_t(i) * channels + ch];
  }
  output.setFrameLength(frames);
  produced_.erase(produced_.begin(), produced_.begin() + std::ptrdiff_t(frames) * channels);
  return frames;
}

}  // namespace talvo
