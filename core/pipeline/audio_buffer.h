#pragma once

#include "pipeline/audio_format.h"

#include <cstdint>
#include <vector>

namespace talvo {

// PCM audio of one format: up to `frameCapacity` frames, of which `frameLength` are valid.
// Float formats hold one sample array per channel; other formats hold no float data.
// Copying a buffer copies its samples, so a kept copy is unaffected when the producer
// reuses the original.
class AudioBuffer {
public:
  AudioBuffer() = default;
  AudioBuffer(const AudioFormat& format, uint32_t frameCapacity);

  const AudioFormat& format() const { return format_; }
  uint32_t frameCapacity() const { return capacity_; }
  uint32_t frameLength() const { return length_; }
  void setFrameLength(uint32_t frames);  // clamped to the capacity

  bool hasFloatData() const { return format_.sampleType == SampleType::float32; }
  // Channel `index`'s samples (frameCapacity of them), or nullptr when there is no float
  // data or no such channel.
  float* floatChannel(uint32_t index);
  const float* floatChannel(uint32_t index) const;

  AudioBuffer copy() const { return *this; }
  bool operator==(const AudioBuffer&) const = default;

private:
  AudioFormat format_;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
  std::vector<std::vector<float>> channels_;
};

}  // namespace talvo
