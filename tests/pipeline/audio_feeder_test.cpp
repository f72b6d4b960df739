#include "pipeline/audio_feeder.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace talvo {
namespace {

using test::levelBuffer;

// Remembers the first sample of every buffer it is given, which the tests use as a number.
class NumberingSession : public TranscriptionSession {
public:
  std::vector<float> seen;  // appended under the feeder's lock, read after joining
  void append(const AudioBuffer& buffer) override { seen.push_back(buffer.floatChannel(0)[0]); }
  QCoro::Task<QString> finish() override { co_return QString(); }
  QCoro::Task<> cancel() override { co_return; }
  std::vector<SpokenWord> recognizedWords() const override { return {}; }
};

TEST(AudioFeeder, LevelArithmetic) {
  AudioFeeder feeder;
  feeder.push(levelBuffer(480, 0.5f));
  EXPECT_DOUBLE_EQ(feeder.level(), 0.5);
  EXPECT_DOUBLE_EQ(feeder.sumSquares(), 120.0);
  EXPECT_DOUBLE_EQ(feeder.peak(), 0.5);
  feeder.push(levelBuffer(480, 0.1f));
  EXPECT_NEAR(feeder.level(), 0.1, 1e-7);
  EXPECT_DOUBLE_EQ(feeder.peak(), 0.5);
  EXPECT_NEAR(feeder.rms(), std::sqrt((120.0 + 480 * 0.01) / 960), 1e-7);
  EXPECT_DOUBLE_EQ(feeder.seconds(), 960.0 / 48000);
}

TEST(AudioFeeder, OnlyChannelZeroIsMeasured) {
  AudioFeeder feeder;
  AudioBuffer stereo = levelBuffer(100, 0.2f, 16000, 2);
  std::fill_n(stereo.floatChannel(1), 100, 0.9f);
  feeder.push(stereo);
  EXPECT_NEAR(feeder.level(), 0.2, 1e-7);
  EXPECT_DOUBLE_EQ(feeder.sampleRate(), 16000);
}

TEST(AudioFeeder, NonFloatAndEmptyBuffersCountFramesButNotLevels) {
  AudioFeeder feeder;
  AudioBuffer ints(AudioFormat{44100, 1, SampleType::int16, false}, 441);
  ints.setFrameLength(441);
  feeder.push(ints);
  feeder.push(levelBuffer(0, 0.7f));
  EXPECT_EQ(feeder.frames(), 441);
  EXPECT_EQ(feeder.level(), 0.0);
  EXPECT_EQ(feeder.rms(), 0.0);
  EXPECT_DOUBLE_EQ(feeder.sampleRate(), 48000);  // the empty float buffer came last
}

TEST(AudioFeeder, ResetKeepsTheRateAndDropsTheSession) {
  AudioFeeder feeder;
  EXPECT_DOUBLE_EQ(feeder.sampleRate(), 48000);
  auto session = std::make_shared<NumberingSession>();
  feeder.attach(session);
  feeder.push(levelBuffer(160, 0.3f, 16000));
  feeder.reset();
  EXPECT_EQ(feeder.rms(), 0.0);
  EXPECT_EQ(feeder.seconds(), 0.0);
  EXPECT_EQ(feeder.level(), 0.0);
  EXPECT_EQ(feeder.peak(), 0.0);
  EXPECT_DOUBLE_EQ(feeder.sampleRate(), 16000);
  feeder.push(levelBuffer(160, 0.3f, 16000));
  EXPECT_EQ(session->seen.size(), 1u);  // nothing after the reset reached the old session
}

TEST(AudioFeeder, KeptBuffersAreCopies) {
  AudioFeeder feeder;
  AudioBuffer reused = levelBuffer(10, 1.0f);
  feeder.push(reused);
  std::fill_n(reused.floatChannel(0), 10, 2.0f);
  feeder.push(reused);
  auto session = std::make_shared<NumberingSession>();
  feeder.attach(session);
  EXPECT_EQ(session->seen, (std::vector<float>{1.0f, 2.0f}));
}

// One thread pushes numbered buffers while the main thread attaches: every buffer arrives
// exactly once and in order, whichever side of the attach it fell on.
TEST(AudioFeeder, AttachWhilePushingLosesNothing) {
  constexpr int count = 20000;
  for (int round = 0; round < 5; ++round) {
    AudioFeeder feeder;
    auto session = std::make_shared<NumberingSession>();
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
    std::this_thread::sleep_for(std::chrono::microseconds(200 * round));
    feeder.attach(session);
    producer.join();
    ASSERT_EQ(session->seen.size(), std::size_t(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(session->seen[i], float(i)) << "at " << i;
  }
}

TEST(MicHealth, Boundaries) {
  EXPECT_FALSE(MicHealth::cantHear(0.99, 0));
  EXPECT_TRUE(MicHealth::cantHear(1.0, 0.0039));
  EXPECT_FALSE(MicHealth::cantHear(5, 0.004));
  EXPECT_FALSE(MicHealth::cantHear(5, std::nan("")));
}

}  // namespace
}  // namespace talvo
