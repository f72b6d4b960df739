#include "pipeline/audio_buffer.h"

#include <algorithm>

namespace talvo {

AudioBuffer::AudioBuffer(const AudioFormat& format, uint32_t frameCapacity)
    : format_(format), capacity_(frameCapacity) {
  if (hasFloatData()) channels_.assign(format.channels, std::vector<float>(frameCapacity, 0.0f));
}

void AudioBuffer::setFrameLength(uint32_t frames) { length_ = std::min(frames, capacity_); }

float* AudioBuffer::floatChannel(uint32_t index) {
  return index < channels_.size() ? channels_[index].data() : nullptr;
}

const float* AudioBuffer::floatChannel(uint32_t index) const {
  return index < channels_.size() ? channels_[index].data() : nullptr;
}

}  // namespace talvo
