#pragma once

#include "pipeline/audio_buffer.h"

#include <functional>
#include <memory>
#include <vector>

namespace talvo {

// Streaming conversion between two float formats: resampling and channel mapping.
// Input is pulled on demand; output the caller's buffer cannot take yet is kept for
// the next call, so nothing is lost between calls. `flush` drains the resampler's tail
// at the end of a stream.
class AudioConverter {
public:
  // Hands over the next input buffer, or nullptr when none is available now.
  using InputBlock = std::function<const AudioBuffer*()>;

  // nullptr when the pair cannot be converted (non-float, no channels, bad rate).
  [[nodiscard]] static std::unique_ptr<AudioConverter> create(const AudioFormat& from,
                                                              const AudioFormat& to);

  // The capacity an output buffer needs for one input buffer: output rate times input
  // frames over input rate, plus 64, truncated.
  static uint32_t outputCapacity(const AudioFormat& to, const AudioBuffer& input);

  ~AudioConverter();
  AudioConverter(const AudioConverter&) = delete;
  AudioConverter& operator=(const AudioConverter&) = delete;

  const AudioFormat& inputFormat() const { return from_; }

  // Fills `output` (up to its capacity) from input pulled through `input` until the
  // input runs dry. Returns the frames produced, or -1 when a buffer of the wrong format
  // arrives or the resampler fails.
  long convert(AudioBuffer& output, const InputBlock& input);

  // End of stream: pushes the resampler's remaining output into `output`. Call again
  // while it returns a full buffer.
  long flush(AudioBuffer& output);

private:
  struct Resampler;
  AudioConverter(const AudioFormat& from, const AudioFormat& to, std::unique_ptr<Resampler> r);
  [[nodiscard]] bool feed(const AudioBuffer& input);
  [[nodiscard]] bool drainResampler();
  long deliver(AudioBuffer& output);

  AudioFormat from_;
  AudioFormat to_;
  std::unique_ptr<Resampler> resampler_;
  std::vector<float> mixed_;     // input mapped to the output's channels, interleaved
  std::vector<float> produced_;  // resampled, interleaved, not yet delivered
  bool flushed_ = false;
};

}  // namespace talvo
