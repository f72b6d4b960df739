#include "audio/file/file_audio_source.h"
#include "pipeline/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <functional>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>

namespace talvo {
namespace {

// The left channel counts up by frame (mod 100, over 200); the others are its negative.
QString writeWav(const QString& path, int rate, int channels, int frames,
                 int subtype = SF_FORMAT_PCM_16) {
  SF_INFO info{0, rate, channels, SF_FORMAT_WAV | subtype, 0, 0};
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  std::vector<float> samples(std::size_t(frames * channels));
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = float(i / channels % 100) / (i % channels == 0 ? 200.0f : -200.0f);
  sf_writef_float(file, samples.data(), frames);
  sf_close(file);
  return path;
}

struct Pass {
  std::vector<AudioBuffer> buffers;
  std::vector<uint32_t> lengths;
  bool offMainThread = true;
  bool playingAtEnd = false;
};

// Plays the file to its end `passes` times, then stops.
Pass playThrough(FileAudioSource& source, int passes = 1) {
  Pass pass;
  std::mutex mutex;
  const auto main = std::this_thread::get_id();
  source.setOnBuffer([&](const AudioBuffer& b) {
    std::lock_guard lock(mutex);
    pass.offMainThread = pass.offMainThread && std::this_thread::get_id() != main;
    pass.buffers.push_back(b.copy());
    pass.lengths.push_back(b.frameLength());
  });
  for (int i = 0; i < passes; ++i) {
    std::promise<void> finished;
    source.setOnFinished([&] {
      pass.playingAtEnd = source.playing();
      finished.set_value();
    });
    source.start();
    finished.get_future().wait();
  }
  source.stop();
  return pass;
}

TEST(FileAudioSource, DeliversWholeChunksStaysPlayingAndReplaysFromTheStart) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir.filePath("a.wav"), 48000, 1, 2500), 0);
  EXPECT_DOUBLE_EQ(source.duration(), 2500 / 48000.0);
  source.stop();  // never started: harmless
  const Pass pass = playThrough(source, 2);
  EXPECT_EQ(pass.lengths, (std::vector<uint32_t>{1024, 1024, 452, 1024, 1024, 452}));
  EXPECT_EQ(pass.buffers[3], pass.buffers[0]);
  EXPECT_TRUE(pass.playingAtEnd && pass.offMainThread);
  EXPECT_FALSE(source.playing());
}

TEST(FileAudioSource, StopEndsDeliveryBeforeReturning) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir.filePath("a.wav"), 16000, 1, 16000 * 5), 1.0);
  std::atomic<int> delivered{0};
  std::atomic<bool> finished{false};
  std::promise<void> twice;
  source.setOnBuffer([&](const AudioBuffer&) {
    if (++delivered == 2) twice.set_value();
  });
  source.setOnFinished([&] { finished = true; });
  source.start();
  twice.get_future().wait();
  source.stop();
  const int atStop = delivered;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // room for a stray buffer
  EXPECT_EQ(delivered, atStop);
  EXPECT_FALSE(finished);  // stopped part way: the file did not play out
}

// A handler that drops the last reference destroys the source on its own delivery thread.
TEST(FileAudioSource, CanBeDestroyedFromItsOwnDeliveryThread) {
  QTemporaryDir dir;
  auto source =
      std::make_shared<FileAudioSource>(writeWav(dir.filePath("a.wav"), 16000, 1, 16000), 0);
  std::promise<void> started;
  std::promise<void> destroyed;
  source->setOnBuffer([&, go = started.get_future().share()](const AudioBuffer&) {
    if (!source) return;
    go.wait();
    source.reset();
    destroyed.set_value();
  });
  source->start();
  started.set_value();
  destroyed.get_future().wait();
}

QString fifo(const QTemporaryDir& dir) {
  EXPECT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  return dir.filePath("fifo");
}

QString link(const QTemporaryDir& dir, const QString& target) {
  EXPECT_TRUE(QFile::link(target, dir.filePath("link.wav")));
  return dir.filePath("link.wav");
}

// Its header promises 10000 frames; the data stops after 3000 and half a sample.
QString truncated(const QTemporaryDir& dir) {
  QString path = writeWav(dir.filePath("t.wav"), 16000, 1, 10000);  // not const: returned by move
  EXPECT_TRUE(QFile(path).resize(44 + 2 * 3000 + 1));
  return path;
}

struct BadInput {
  const char* name;
  std::function<QString(const QTemporaryDir&)> make;
  const char* refusal;  // in the message; none when the file plays
  AudioFormat format;
  uint32_t frames;
};

// FIFOs and devices are refused before anything reads them: they would block or never end.
const BadInput badInputs[] = {
    {"not_audio", [](const QTemporaryDir& d) { return link(d, "/proc/self/exe"); }, "", {}, 0},
    {"missing",
     [](const QTemporaryDir& d) { return d.filePath("missing.wav"); },
     "No such file",
     {},
     0},
    {"folder", [](const QTemporaryDir& d) { return d.path(); }, "not a regular file", {}, 0},
    {"fifo", fifo, "not a regular file", {}, 0},
    {"link_to_fifo",
     [](const QTemporaryDir& d) { return link(d, fifo(d)); },
     "not a regular file",
     {},
     0},
    {"link_to_device",
     [](const QTemporaryDir& d) { return link(d, "/dev/zero"); },
     "not a regular file",
     {},
     0},
    {"eight_bit",
     [](const QTemporaryDir& d) {
       return writeWav(d.filePath("u8.wav"), 8000, 1, 3000, SF_FORMAT_PCM_U8);
     },
     nullptr, floatFormat(8000, 1), 3000},
    {"stereo_44100_float",
     [](const QTemporaryDir& d) {
       return writeWav(d.filePath("s.wav"), 44100, 2, 4410, SF_FORMAT_FLOAT);
     },
     nullptr, floatFormat(44100, 2), 4410},
    {"empty", [](const QTemporaryDir& d) { return writeWav(d.filePath("e.wav"), 16000, 1, 0); },
     nullptr, floatFormat(16000, 1), 0},
    {"truncated", truncated, nullptr, floatFormat(16000, 1), 3000},
};

class FileAudioSourceBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(FileAudioSourceBadInput, IsRefusedWithAReasonOrPlaysAsFloatAtItsOwnRate) {
  const BadInput& b = GetParam();
  QTemporaryDir dir;
  const QString path = b.make(dir);
  std::unique_ptr<FileAudioSource> source;
  try {
    source = std::make_unique<FileAudioSource>(path, 0);
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().startsWith("Can't open " + QFileInfo(path).fileName() + ": "))
        << e.message().toStdString();
    EXPECT_TRUE(b.refusal && e.message().contains(b.refusal)) << e.message().toStdString();
    return;
  }
  ASSERT_FALSE(b.refusal) << "opened";
  EXPECT_EQ(source->format(), b.format);
  const Pass pass = playThrough(*source);
  EXPECT_EQ(std::accumulate(pass.lengths.begin(), pass.lengths.end(), 0u), b.frames);
  for (uint32_t c = 0; c < b.format.channels && !pass.buffers.empty(); ++c)
    EXPECT_NEAR(pass.buffers[0].floatChannel(c)[9], c == 0 ? 0.045 : -0.045, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Table, FileAudioSourceBadInput, ::testing::ValuesIn(badInputs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
