#pragma once

#include <cstdint>

namespace talvo {

// The program produces and reads 32-bit float, one array per channel. Other sample
// types exist only so that a buffer from elsewhere can be described and counted.
enum class SampleType { float32, int16 };

struct AudioFormat {
  double sampleRate = 48000;
  uint32_t channels = 1;
  SampleType sampleType = SampleType::float32;
  bool interleaved = false;

  bool operator==(const AudioFormat&) const = default;
};

inline AudioFormat floatFormat(double sampleRate, uint32_t channels) {
  return AudioFormat{sampleRate, channels, SampleType::float32, false};
}

}  // namespace talvo
