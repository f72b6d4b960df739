#include "pipeline/audio_feeder.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace talvo {

struct AudioFeeder::Take {
  std::vector<AudioBuffer> pending;  // copies, oldest first; guarded by the feeder's lock
};

namespace {

template <typename Square>
double sumOfSquares(const float* samples, uint32_t count, Square square) {
  double sum = 0;
  for (uint32_t i = 0; i < count; ++i) sum += square(samples[i]);
  return sum;
}

// A sample that is not a finite number counts as silence: one bad sample must not make the
// whole take read as silent, nor as infinitely loud. Squares of finite floats cannot
// overflow a double sum, so only a sum that is not finite needs the careful second pass.
double channelSumOfSquares(const float* samples, uint32_t count) {
  const double sum = sumOfSquares(samples, count, [](float s) { return double(s) * s; });
  if (std::isfinite(sum)) return sum;
  return sumOfSquares(samples, count,
                      [](float s) { return std::isfinite(s) ? double(s) * s : 0.0; });
}

// A microphone may carry the voice on any one of its channels: the loudest one counts.
double loudestSumOfSquares(const AudioBuffer& buffer) {
  double loudest = 0;
  for (uint32_t ch = 0; ch < buffer.format().channels; ++ch) {
    const float* samples = buffer.floatChannel(ch);
    if (!samples) break;
    loudest = std::max(loudest, channelSumOfSquares(samples, buffer.frameLength()));
  }
  return loudest;
}

}  // namespace

AudioFeeder::AudioFeeder() : take_(std::make_shared<Take>()) {}

void AudioFeeder::push(const AudioBuffer& buffer) {
  std::lock_guard guard(lock_);
  sampleRate_ = buffer.format().sampleRate;
  const uint32_t count = buffer.frameLength();
  frames_ += count;
  if (buffer.floatChannel(0) && count > 0) {
    const double sum = loudestSumOfSquares(buffer);
    sumSquares_ += sum;
    lastLevel_ = std::sqrt(sum / count);
    peakLevel_ = std::max(peakLevel_, lastLevel_);
  }
  if (session_)
    session_->append(buffer);
  else
    take_->pending.push_back(buffer.copy());
}

std::shared_ptr<AudioFeeder::Take> AudioFeeder::reset() {
  auto fresh = std::make_shared<Take>();
  // The previous take and session may be freed here, so they are let go outside the lock.
  std::shared_ptr<Take> previous;
  std::shared_ptr<TranscriptionSession> forgotten;
  std::lock_guard guard(lock_);
  previous = std::exchange(take_, fresh);
  forgotten = std::exchange(session_, nullptr);
  frames_ = 0;
  sumSquares_ = 0;
  lastLevel_ = 0;
  peakLevel_ = 0;
  return fresh;
}

void AudioFeeder::attach(const std::shared_ptr<Take>& take,
                         std::shared_ptr<TranscriptionSession> session) {
  if (!take || !session) return;
  std::vector<AudioBuffer> flushed;  // freed after the lock is released
  std::lock_guard guard(lock_);
  flushed.swap(take->pending);
  for (const AudioBuffer& buffer : flushed) session->append(buffer);
  // A session that opens after the next press has already begun only gets its own audio.
  if (take == take_) session_ = std::move(session);
}

double AudioFeeder::level() const {
  std::lock_guard guard(lock_);
  return lastLevel_;
}

double AudioFeeder::peak() const {
  std::lock_guard guard(lock_);
  return peakLevel_;
}

double AudioFeeder::rms() const {
  std::lock_guard guard(lock_);
  return frames_ == 0 ? 0.0 : std::sqrt(sumSquares_ / double(frames_));
}

int64_t AudioFeeder::frames() const {
  std::lock_guard guard(lock_);
  return frames_;
}

double AudioFeeder::sampleRate() const {
  std::lock_guard guard(lock_);
  return sampleRate_;
}

bool MicHealth::cantHear(double elapsed, double peak) {
  // NaN compares false, so a peak that is not a number never raises the hint.
  return elapsed >= checkAfter && peak < quietPeak;
}

}  // namespace talvo
