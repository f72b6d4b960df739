#include "pipeline/audio_feeder.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace talvo {
namespace {

using test::levelBuffer;

// `values` on channel `on` of `channels` at 16 kHz, silence on the others.
AudioBuffer samples(std::vector<float> values, uint32_t channels = 1, uint32_t on = 0) {
  AudioBuffer buffer = levelBuffer(uint32_t(values.size()), 0.0f, 16000, channels);
  std::copy(values.begin(), values.end(), buffer.floatChannel(on));
  return buffer;
}

// The feeder's figures after `pushed`, six digits each: level, peak, rms, frames, rate.
QString figures(const std::vector<AudioBuffer>& pushed, bool thenReset = false) {
  AudioFeeder feeder;
  for (const AudioBuffer& buffer : pushed) feeder.push(buffer);
  if (thenReset) (void)feeder.reset();
  QStringList all;
  for (double figure :
       {feeder.level(), feeder.peak(), feeder.rms(), double(feeder.frames()), feeder.sampleRate()})
    all << QString::number(figure, 'g', 6);
  return all.join(' ');
}

TEST(AudioFeeder, Figures) {
  EXPECT_EQ(figures({levelBuffer(480, 0.5f)}), "0.5 0.5 0.5 480 48000");
  EXPECT_EQ(figures({levelBuffer(480, 0.5f), levelBuffer(480, 0.1f)}),
            "0.1 0.5 0.360555 960 48000");
  // The voice may be on any one channel; a sample that is not a finite number counts as 0.
  EXPECT_EQ(figures({samples({0.3f, -0.3f}, 6, 3)}), "0.3 0.3 0.3 2 16000");
  EXPECT_EQ(figures({samples({0.5f, NAN, -INFINITY, 0.5f})}), "0.353553 0.353553 0.353553 4 16000");
  // Buffers without float samples, or without frames, count only their frames.
  AudioBuffer ints(AudioFormat{44100, 1, SampleType::int16, false}, 441);
  ints.setFrameLength(441);
  EXPECT_EQ(figures({ints, levelBuffer(0, 0.7f)}), "0 0 0 441 48000");
  EXPECT_EQ(figures({levelBuffer(160, 0.3f, 16000)}, true), "0 0 0 0 16000");  // rate stays
}

// One thread pushes numbered buffers, reusing one as a capture thread does, while the main
// thread starts a second take and attaches its session, then the first take's, which opened
// late: every buffer arrives once, in order, in the session of its own take.
TEST(AudioFeeder, TakesAndAttachesWhilePushingLoseNothing) {
  constexpr int count = 20000;
  for (int round = 0; round < 5; ++round) {
    AudioFeeder feeder;
    const auto first = feeder.reset();
    auto one = std::make_shared<test::FakeSession>();
    auto two = std::make_shared<test::FakeSession>();
    std::atomic<bool> go{false};
    std::thread producer([&] {
      AudioBuffer buffer = levelBuffer(4, 0.0f);
      while (!go) std::this_thread::yield();
      for (int i = 0; i < count; ++i) {
        buffer.floatChannel(0)[0] = float(i);
        feeder.push(buffer);
      }
    });
    go = true;
    std::this_thread::sleep_for(std::chrono::microseconds(100 * round));
    const auto second = feeder.reset();
    std::this_thread::sleep_for(std::chrono::microseconds(100 * round));
    feeder.attach(second, two);
    feeder.attach(first, one);
    producer.join();
    std::vector<float> all = one->firstSamples;
    all.insert(all.end(), two->firstSamples.begin(), two->firstSamples.end());
    ASSERT_EQ(all.size(), std::size_t(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(all[i], float(i)) << "at " << i;
  }
}

TEST(MicHealth, Boundaries) {
  EXPECT_TRUE(MicHealth::cantHear(1.0, 0.0039));
  EXPECT_FALSE(MicHealth::cantHear(0.99, 0) || MicHealth::cantHear(5, 0.004) ||
               MicHealth::cantHear(5, NAN));
}

}  // namespace
}  // namespace talvo
