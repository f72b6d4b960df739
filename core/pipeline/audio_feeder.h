#pragma once

#include "pipeline/audio_buffer.h"
#include "pipeline/contracts.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace talvo {

// Bridges the gap between the key press, when audio starts, and the moment the
// recognition session exists: buffers are kept until a session is attached, then handed
// over in order, and later ones go straight through. Along the way it measures the take
// (frames, overall rms, last-buffer level, peak level). One lock guards everything.
class AudioFeeder {
public:
  // Capture thread. Forwards to the attached session, or keeps a copy.
  void push(const AudioBuffer& buffer);
  // Main thread. Flushes what was kept into `session`, then forwards to it.
  void attach(std::shared_ptr<TranscriptionSession> session);
  // Forgets the session (without telling it) and the kept audio, and zeroes the figures.
  void reset();

  double level() const;
  double peak() const;
  double seconds() const;
  double rms() const;
  int64_t frames() const;
  double sampleRate() const;
  double sumSquares() const;

private:
  mutable std::mutex lock_;
  std::shared_ptr<TranscriptionSession> session_;
  std::vector<AudioBuffer> pending_;
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
