#include "audio/file/file_audio_source.h"
#include "pipeline/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace talvo {
namespace {

using namespace std::chrono_literals;

// Writes a file whose left channel counts up frame by frame and whose other channels are
// the negative of it, so that order and channel placement can be checked.
QString writeWav(const QTemporaryDir& dir, const QString& name, int rate, int channels,
                 sf_count_t frames, int subtype = SF_FORMAT_PCM_16) {
  const QString path = dir.filePath(name);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | subtype;
  SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<float> block(std::size_t(4096) * channels);
  for (sf_count_t done = 0; done < frames;) {
    const sf_count_t n = std::min<sf_count_t>(4096, frames - done);
    for (sf_count_t i = 0; i < n; ++i) {
      const float v = float((done + i) % 100) / 200.0f;
      for (int c = 0; c < channels; ++c) block[std::size_t(i) * channels + c] = c == 0 ? v : -v;
    }
    sf_writef_float(file, block.data(), n);
    done += n;
  }
  sf_close(file);
  return path;
}

// Records what a source delivers.
struct Sink {
  std::mutex mutex;
  std::vector<uint32_t> lengths;
  std::vector<AudioBuffer> firstBuffers;
  std::atomic<int> finished{0};
  std::atomic<bool> offMainThread{true};

  void attach(FileAudioSource& source, std::size_t keep = 2) {
    const auto main = std::this_thread::get_id();
    source.setOnBuffer([this, keep, main](const AudioBuffer& b) {
      std::lock_guard lock(mutex);
      if (std::this_thread::get_id() == main) offMainThread = false;
      lengths.push_back(b.frameLength());
      if (firstBuffers.size() < keep) firstBuffers.push_back(b.copy());
    });
    source.setOnFinished([this] { ++finished; });
  }
  bool waitFinished(int passes = 1) {
    for (int i = 0; i < 2000 && finished < passes; ++i) std::this_thread::sleep_for(5ms);
    return finished >= passes;
  }
  std::size_t count() {
    std::lock_guard lock(mutex);
    return lengths.size();
  }
};

TEST(FileAudioSource, DeliversWholeChunksThenTheRestAndStaysPlaying) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "a.wav", 16000, 1, 2500), 0);
  EXPECT_EQ(source.format(), floatFormat(16000, 1));
  Sink sink;
  sink.attach(source);
  source.start();
  ASSERT_TRUE(sink.waitFinished());
  EXPECT_EQ(sink.lengths, (std::vector<uint32_t>{1024, 1024, 452}));
  EXPECT_TRUE(source.playing());
  EXPECT_TRUE(sink.offMainThread);
  // Samples come out in order.
  EXPECT_NEAR(sink.firstBuffers[0].floatChannel(0)[7], 7 / 200.0, 1e-3);
  source.stop();
  EXPECT_FALSE(source.playing());
}

TEST(FileAudioSource, StartAfterAFinishedPassPlaysAgainFromTheStart) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "a.wav", 16000, 1, 2500), 0);
  Sink sink;
  sink.attach(source, 4);
  source.start();
  ASSERT_TRUE(sink.waitFinished(1));
  source.start();
  ASSERT_TRUE(sink.waitFinished(2));
  source.stop();
  EXPECT_EQ(sink.lengths.size(), 6u);
  EXPECT_EQ(sink.firstBuffers[3], sink.firstBuffers[0]);
}

TEST(FileAudioSource, StopEndsDeliveryBeforeReturning) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "a.wav", 16000, 1, 16000 * 5), 1.0);
  Sink sink;
  sink.attach(source);
  source.start();
  while (sink.count() < 2) std::this_thread::sleep_for(1ms);
  source.stop();
  const std::size_t atStop = sink.count();
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(sink.count(), atStop);
  EXPECT_LT(atStop, 20u);
  EXPECT_EQ(sink.finished, 0);
}

TEST(FileAudioSource, StopWhenNeverStartedIsHarmless) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "a.wav", 16000, 1, 100), 1.0);
  source.stop();
  source.stop();
  EXPECT_FALSE(source.playing());
}

TEST(FileAudioSource, DurationIgnoresSpeed) {
  QTemporaryDir dir;
  const QString path = writeWav(dir, "a.wav", 48000, 1, 3 * 48000);
  EXPECT_DOUBLE_EQ(FileAudioSource(path, 1.0).duration(), 3.0);
  EXPECT_DOUBLE_EQ(FileAudioSource(path, 4.0).duration(), 3.0);
}

TEST(FileAudioSourceBadInput, TextFileNamedWavIsRefusedWithAMessage) {
  QTemporaryDir dir;
  QFile text(dir.filePath("x.wav"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is not audio\n");
  text.close();
  try {
    FileAudioSource source(text.fileName(), 0);
    FAIL() << "opened a text file";
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().startsWith("Can't open x.wav: ")) << e.message().toStdString();
  }
  EXPECT_THROW(FileAudioSource(dir.filePath("missing.wav"), 0), Error);
}

TEST(FileAudioSourceBadInput, TruncatedWavOpensOrFailsCleanly) {
  QTemporaryDir dir;
  const QString path = writeWav(dir, "t.wav", 16000, 1, 10000);
  QFile file(path);
  ASSERT_TRUE(file.resize(44 + 2 * 3000 + 1));  // header claims 10000 frames; half a sample at the end
  try {
    FileAudioSource source(path, 0);
    Sink sink;
    sink.attach(source);
    source.start();
    ASSERT_TRUE(sink.waitFinished());
    source.stop();
    std::size_t total = 0;
    for (uint32_t n : sink.lengths) total += n;
    EXPECT_LE(total, 3001u);
  } catch (const Error& e) {
    EXPECT_FALSE(e.message().isEmpty());
  }
}

TEST(FileAudioSourceBadInput, EightBitWavComesOutAsFloat) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "u8.wav", 8000, 1, 3000, SF_FORMAT_PCM_U8), 0);
  EXPECT_EQ(source.format(), floatFormat(8000, 1));
  Sink sink;
  sink.attach(source);
  source.start();
  ASSERT_TRUE(sink.waitFinished());
  source.stop();
  EXPECT_EQ(sink.lengths, (std::vector<uint32_t>{1024, 1024, 952}));
  EXPECT_NEAR(sink.firstBuffers[0].floatChannel(0)[50], 50 / 200.0, 0.02);
}

TEST(FileAudioSourceBadInput, StereoAt44100IsDeinterleavedAtItsOwnRate) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "s.wav", 44100, 2, 4410, SF_FORMAT_FLOAT), 0);
  EXPECT_EQ(source.format(), floatFormat(44100, 2));
  Sink sink;
  sink.attach(source);
  source.start();
  ASSERT_TRUE(sink.waitFinished());
  source.stop();
  const AudioBuffer& first = sink.firstBuffers.at(0);
  EXPECT_FLOAT_EQ(first.floatChannel(0)[9], 9 / 200.0f);
  EXPECT_FLOAT_EQ(first.floatChannel(1)[9], -9 / 200.0f);
}

TEST(FileAudioSourceBadInput, EmptyWavDeliversNothingAndFinishes) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir, "empty.wav", 16000, 1, 0), 1.0);
  EXPECT_EQ(source.duration(), 0.0);
  Sink sink;
  sink.attach(source);
  source.start();
  ASSERT_TRUE(sink.waitFinished());
  source.stop();
  EXPECT_TRUE(sink.lengths.empty());
}

TEST(FileAudioSourceBadInput, LongClipIsDeliveredInBoundedBuffers) {
  QTemporaryDir dir;
  const sf_count_t frames = sf_count_t(16000) * 180;
  FileAudioSource source(writeWav(dir, "long.wav", 16000, 1, frames), 0);
  EXPECT_DOUBLE_EQ(source.duration(), 180.0);
  std::atomic<uint64_t> total{0};
  std::atomic<uint32_t> largest{0};
  std::atomic<bool> finished{false};
  source.setOnBuffer([&](const AudioBuffer& b) {
    total += b.frameLength();
    if (b.frameCapacity() > largest) largest = b.frameCapacity();
  });
  source.setOnFinished([&] { finished = true; });
  source.start();
  for (int i = 0; i < 2000 && !finished; ++i) std::this_thread::sleep_for(5ms);
  source.stop();
  EXPECT_TRUE(finished);
  EXPECT_EQ(total, uint64_t(frames));
  EXPECT_EQ(largest, FileAudioSource::chunk);
}

}  // namespace
}  // namespace talvo
