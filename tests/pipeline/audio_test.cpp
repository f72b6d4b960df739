#include "pipeline/audio_converter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace talvo {
namespace {

// Each channel rises from 0 in steps of 1/1024, so a sample tells where it came from.
AudioBuffer ramp(const AudioFormat& format, uint32_t frames) {
  AudioBuffer buffer(format, frames);
  for (uint32_t ch = 0; ch < format.channels; ++ch)
    for (uint32_t i = 0; i < frames; ++i) buffer.floatChannel(ch)[i] = float(i) / 1024;
  buffer.setFrameLength(frames);
  return buffer;
}

// Hands `buffer` over once, then reports that no input is available.
AudioConverter::InputBlock once(const AudioBuffer& buffer) {
  return [&buffer, handed = false]() mutable {
    return std::exchange(handed, true) ? nullptr : &buffer;
  };
}

TEST(AudioConverter, RefusesFormatsAndInputItCannotConvert) {
  const AudioFormat mono = floatFormat(16000, 1);
  for (const AudioFormat& bad : {AudioFormat{16000, 1, SampleType::int16, false},
                                 floatFormat(16000, 0), floatFormat(0, 1), floatFormat(NAN, 1)}) {
    EXPECT_EQ(AudioConverter::create(bad, mono), nullptr);
    EXPECT_EQ(AudioConverter::create(mono, bad), nullptr);
  }
  auto converter = AudioConverter::create(floatFormat(48000, 1), mono);
  ASSERT_TRUE(converter);
  AudioBuffer out(mono, 200);
  EXPECT_EQ(converter->convert(out, once(ramp(floatFormat(44100, 1), 100))), -1);
}

// Without resampling, output is the input's channels mapped: averaged into mono, or mono
// spread to every channel. What the output buffer cannot take waits for the next call.
TEST(AudioConverter, MapsChannelsAndKeepsWhatDoesNotFit) {
  auto down = AudioConverter::create(floatFormat(16000, 2), floatFormat(16000, 1));
  auto up = AudioConverter::create(floatFormat(16000, 1), floatFormat(16000, 2));
  ASSERT_TRUE(down && up);
  AudioBuffer stereo = ramp(floatFormat(16000, 2), 1000);
  AudioBuffer mono(floatFormat(16000, 1), 600);
  std::fill_n(stereo.floatChannel(1), 1000, 0.25f);
  const auto input = once(stereo);
  EXPECT_EQ(down->convert(mono, input), 600);
  EXPECT_FLOAT_EQ(mono.floatChannel(0)[10], (stereo.floatChannel(0)[10] + 0.25f) / 2);
  EXPECT_EQ(down->convert(mono, input), 400);
  EXPECT_FLOAT_EQ(mono.floatChannel(0)[0], (stereo.floatChannel(0)[600] + 0.25f) / 2);
  EXPECT_EQ(down->convert(mono, input), 0);
  const AudioBuffer voice = ramp(floatFormat(16000, 1), 64);
  EXPECT_EQ(up->convert(stereo, once(voice)), 64);
  EXPECT_EQ(stereo.floatChannel(1)[7], voice.floatChannel(0)[7]);
}

// The resampler holds back a filter's length of audio; flush hands it over, so the whole
// take comes out at the new rate.
TEST(AudioConverter, FlushDeliversTheResamplersTail) {
  auto converter = AudioConverter::create(floatFormat(48000, 1), floatFormat(16000, 1));
  ASSERT_TRUE(converter);
  AudioBuffer out(floatFormat(16000, 1), 4096);
  long total = converter->convert(out, once(ramp(floatFormat(48000, 1), 4800)));
  while (long frames = converter->flush(out)) {
    ASSERT_GT(frames, 0);
    total += frames;
  }
  EXPECT_NEAR(total, 1600, 2);
}

}  // namespace
}  // namespace talvo
