#include "pipeline/audio_feeder.h"

#include <algorithm>
#include <cmath>

namespace talvo {

void AudioFeeder::push(const AudioBuffer& buffer) {
  std::lock_guard guard(lock_);
  sampleRate_ = buffer.format().sampleRate;
  const uint32_t count = buffer.frameLength();
  frames_ += count;
  if (const float* samples = buffer.floatChannel(0); samples && count > 0) {
    double sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const double s = samples[i];
      sum += s * s;
    }
    sumSquares_ += sum;
    lastLevel_ = std::sqrt(sum / count);
    peakLevel_ = std::max(peakLevel_, lastLevel_);
  }
  if (session_)
    session_->append(buffer);
  else
    pending_.push_back(buffer.copy());
}

void AudioFeeder::attach(std::shared_ptr<TranscriptionSession> session) {
  std::lock_guard guard(lock_);
  for (const AudioBuffer& buffer : pending_) session->append(buffer);
  pending_.clear();
  session_ = std::move(session);
}

void AudioFeeder::reset() {
  std::lock_guard guard(lock_);
  session_.reset();
  pending_.clear();
  frames_ = 0;
  sumSquares_ = 0;
  lastLevel_ = 0;
  peakLevel_ = 0;
}

double AudioFeeder::level() const {
  std::lock_guard guard(lock_);
  return lastLevel_;
}

double AudioFeeder::peak() const {
  std::lock_guard guard(lock_);
  return peakLevel_;
}

double AudioFeeder::seconds() const {
  std::lock_guard guard(lock_);
  return sampleRate_ > 0 ? double(frames_) / sampleRate_ : 0.0;
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

double AudioFeeder::sumSquares() const {
  std::lock_guard guard(lock_);
  return sumSquares_;
}

bool MicHealth::cantHear(double elapsed, double peak) {
  // NaN compares false, so a peak that is not a number never raises the hint.
  return elapsed >= checkAfter && peak < quietPeak;
}

}  // namespace talvo
