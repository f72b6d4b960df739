#include "pipeline/audio_buffer.h"
#include "pipeline/audio_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace talvo {
namespace {

AudioBuffer tone(const AudioFormat& format, uint32_t frames, double hz, uint64_t startFrame = 0) {
  AudioBuffer buffer(format, frames);
  for (uint32_t ch = 0; ch < format.channels; ++ch) {
    float* data = buffer.floatChannel(ch);
    for (uint32_t i = 0; i < frames; ++i)
      data[i] = float(0.5 * std::sin(2 * std::numbers::pi * hz * double(startFrame + i) /
                                     format.sampleRate));
  }
  buffer.setFrameLength(frames);
  return buffer;
}

TEST(AudioBuffer, FloatAndNonFloat) {
  AudioBuffer stereo(floatFormat(44100, 2), 256);
  EXPECT_EQ(stereo.frameCapacity(), 256u);
  EXPECT_EQ(stereo.frameLength(), 0u);
  EXPECT_NE(stereo.floatChannel(1), nullptr);
  EXPECT_EQ(stereo.floatChannel(2), nullptr);
  stereo.setFrameLength(1000);
  EXPECT_EQ(stereo.frameLength(), 256u);

  AudioBuffer ints(AudioFormat{16000, 1, SampleType::int16, false}, 128);
  EXPECT_FALSE(ints.hasFloatData());
  EXPECT_EQ(ints.floatChannel(0), nullptr);
}

TEST(AudioBuffer, CopyIsUnaffectedByLaterOverwrite) {
  AudioBuffer original = tone(floatFormat(48000, 2), 480, 440);
  AudioBuffer kept = original.copy();
  for (uint32_t ch = 0; ch < 2; ++ch)
    std::fill_n(original.floatChannel(ch), 480, 1.0f);
  original.setFrameLength(3);
  EXPECT_EQ(kept.frameLength(), 480u);
  EXPECT_EQ(kept.format(), floatFormat(48000, 2));
  EXPECT_NE(kept.floatChannel(1)[100], 1.0f);
  EXPECT_EQ(kept, tone(floatFormat(48000, 2), 480, 440));
}

TEST(AudioFormat, Equality) {
  EXPECT_EQ(floatFormat(16000, 1), floatFormat(16000, 1));
  EXPECT_NE(floatFormat(16000, 1), floatFormat(16000, 2));
  EXPECT_NE(floatFormat(16000, 1), floatFormat(44100, 1));
  EXPECT_NE(floatFormat(16000, 1), (AudioFormat{16000, 1, SampleType::int16, false}));
  EXPECT_NE(floatFormat(16000, 1), (AudioFormat{16000, 1, SampleType::float32, true}));
}

TEST(AudioConverter, OutputCapacityRule) {
  AudioBuffer in(floatFormat(44100, 1), 4410);
  in.setFrameLength(4410);
  EXPECT_EQ(AudioConverter::outputCapacity(floatFormat(16000, 1), in), 1664u);
}

TEST(AudioConverter, RefusesWhatItCannotConvert) {
  EXPECT_EQ(AudioConverter::create(AudioFormat{16000, 1, SampleType::int16, false},
                                   floatFormat(16000, 1)),
            nullptr);
  EXPECT_EQ(AudioConverter::create(floatFormat(16000, 0), floatFormat(16000, 1)), nullptr);
  EXPECT_EQ(AudioConverter::create(floatFormat(0, 1), floatFormat(16000, 1)), nullptr);
  EXPECT_EQ(AudioConverter::create(floatFormat(NAN, 1), floatFormat(16000, 1)), nullptr);
}

// Zero crossings per second of a sine, halved, estimate its frequency.
double frequencyOf(const std::vector<float>& samples, double rate) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  return crossings / 2.0 / (samples.size() / rate);
}

TEST(AudioConverter, StereoAt44kToMonoAt16kKeepsLengthAndPitch) {
  const AudioFormat from = floatFormat(44100, 2);
  const AudioFormat to = floatFormat(16000, 1);
  auto converter = AudioConverter::create(from, to);
  ASSERT_NE(converter, nullptr);

  constexpr uint32_t chunk = 1024;
  constexpr int chunks = 86;  // about two seconds
  std::vector<float> out;
  for (int c = 0; c < chunks; ++c) {
    AudioBuffer in = tone(from, chunk, 1000, uint64_t(c) * chunk);
    AudioBuffer result(to, AudioConverter::outputCapacity(to, in));
    bool handed = false;
    long frames = converter->convert(result, [&]() -> const AudioBuffer* {
      if (handed) return nullptr;
      handed = true;
      return &in;
    });
    ASSERT_GE(frames, 0);
    out.insert(out.end(), result.floatChannel(0), result.floatChannel(0) + frames);
  }
  AudioBuffer tail(to, 4096);
  while (long frames = converter->flush(tail)) {
    ASSERT_GT(frames, 0);
    out.insert(out.end(), tail.floatChannel(0), tail.floatChannel(0) + frames);
  }

  const double ideal = double(chunks) * chunk * 16000 / 44100;
  const double oneBufferAt16k = chunk * 16000.0 / 44100;
  EXPECT_NEAR(double(out.size()), ideal, oneBufferAt16k);

  // Skip the filter's run-in and the tail when measuring pitch and level.
  std::vector<float> middle(out.begin() + 2000, out.end() - 2000);
  EXPECT_NEAR(frequencyOf(middle, 16000), 1000, 5);
  double sum = 0;
  for (float s : middle) sum += double(s) * s;
  EXPECT_NEAR(std::sqrt(sum / middle.size()), 0.5 / std::sqrt(2.0), 0.01);
}

TEST(AudioConverter, OutputThatDoesNotFitWaitsForTheNextCall) {
  const AudioFormat format = floatFormat(16000, 1);
  auto converter = AudioConverter::create(floatFormat(16000, 2), format);
  ASSERT_NE(converter, nullptr);
  AudioBuffer in = tone(floatFormat(16000, 2), 1000, 300);
  AudioBuffer small(format, 600);
  bool handed = false;
  auto once = [&]() -> const AudioBuffer* {
    if (handed) return nullptr;
    handed = true;
    return &in;
  };
  EXPECT_EQ(converter->convert(small, once), 600);
  EXPECT_FLOAT_EQ(small.floatChannel(0)[10], in.floatChannel(0)[10]);
  EXPECT_EQ(converter->convert(small, once), 400);
  EXPECT_FLOAT_EQ(small.floatChannel(0)[0], in.floatChannel(0)[600]);
  EXPECT_EQ(converter->convert(small, once), 0);
}

TEST(AudioConverter, WrongInputFormatIsAnError) {
  auto converter = AudioConverter::create(floatFormat(48000, 1), floatFormat(16000, 1));
  ASSERT_NE(converter, nullptr);
  AudioBuffer wrong = tone(floatFormat(44100, 1), 100, 440);
  AudioBuffer out(floatFormat(16000, 1), 200);
  EXPECT_EQ(converter->convert(out, [&] { return &wrong; }), -1);
}

TEST(AudioConverter, MonoIsSpreadToEveryOutputChannel) {
  auto converter = AudioConverter::create(floatFormat(8000, 1), floatFormat(8000, 2));
  ASSERT_NE(converter, nullptr);
  AudioBuffer in = tone(floatFormat(8000, 1), 64, 500);
  AudioBuffer out(floatFormat(8000, 2), 64);
  bool handed = false;
  EXPECT_EQ(converter->convert(out, [&]() -> const AudioBuffer* {
    return std::exchange(handed, true) ? nullptr : &in;
  }), 64);
  EXPECT_FLOAT_EQ(out.floatChannel(1)[7], in.floatChannel(0)[7]);
}

}  // namespace
}  // namespace talvo
