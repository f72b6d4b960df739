#pragma once

#include "pipeline/audio_buffer.h"
#include "pipeline/contracts.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace talvo {

// Bridges the gap between the key press, when audio starts, and the moment the
// recognition session exists: buffers are kept until a session is attached, then handed
// over in order, and later ones go straight through. Along the way it measures the take
// (frames, overall rms, last-buffer level, peak level). One lock guards everything.
//
// Each press starts a take of its own. A take keeps what it buffered until its own session
// takes it, even when the next press has already started another take.
class AudioFeeder {
public:
  struct Take;

  AudioFeeder();

  // Capture thread. Forwards to the current take's session, or keeps a copy in the take.
  void push(const AudioBuffer& buffer);
  // Main thread. Starts a new take, forgets the current session (without telling it) and
  // zeroes the figures. The previous take gets no more audio but keeps what it buffered.
  [[nodiscard]] std::shared_ptr<Take> reset();
  // Main thread. Hands what `take` buffered to `session`; when `take` is still the current
  // one, later buffers go straight to `session` too.
  void attach(const std::shared_ptr<Take>& take, std::shared_ptr<TranscriptionSession> session);

  // Root-mean-square level of the last buffer with samples (its loudest channel), and the
  // largest since the reset.
  double level() const;
  double peak() const;
  // Over the whole take.
  double rms() const;
  int64_t frames() const;
  double sampleRate() const;

private:
  mutable std::mutex lock_;
  std::shared_ptr<Take> take_;
  std::shared_ptr<TranscriptionSession> session_;
  int64_t frames_ = 0;
  double sumSquares_ = 0;
  double sampleRate_ = 48000;
  double lastLevel_ = 0;
  double peakLevel_ = 0;
};

// Whether the bar should say the microphone seems to hear nothing.
namespace MicHealth {
inline constexpr double checkAfter = 1.0;   // seconds of listening before judging
inline constexpr double quietPeak = 0.004;  // rms a working microphone exceeds by then

bool cantHear(double elapsed, double peak);
}  // namespace MicHealth

}  // namespace talvo
