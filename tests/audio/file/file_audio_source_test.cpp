#include "audio/file/file_audio_source.h"
#include "pipeline/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace talvo {
namespace {

using namespace std::chrono_literals;

// Left channel counts up frame by frame (mod 100, over 200), the others are its negative,
// so that order and channel placement show.
QString writeWav(const QString& path, int rate, int channels, sf_count_t frames,
                 int subtype = SF_FORMAT_PCM_16) {
  SF_INFO info{0, rate, channels, SF_FORMAT_WAV | subtype, 0, 0};
  SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  auto frame = std::vector<float>(std::size_t(channels));
  for (sf_count_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) frame[std::size_t(c)] = float(i % 100) / (c == 0 ? 200.0f : -200.0f);
    sf_writef_float(file, frame.data(), 1);
  }
  sf_close(file);
  return path;
}

// What one pass delivered.
struct Pass {
  std::vector<uint32_t> lengths;
  std::vector<AudioBuffer> buffers;
  bool offMainThread = true;
  bool playingAtEnd = false;
};

// Plays the file to its end (speed 0) and stops.
Pass playThrough(FileAudioSource& source, int passes = 1) {
  Pass pass;
  std::mutex mutex;
  const auto main = std::this_thread::get_id();
  source.setOnBuffer([&](const AudioBuffer& b) {
    std::lock_guard lock(mutex);
    pass.offMainThread = pass.offMainThread && std::this_thread::get_id() != main;
    pass.lengths.push_back(b.frameLength());
    pass.buffers.push_back(b.copy());
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
  EXPECT_EQ(source.format(), floatFormat(48000, 1));
  EXPECT_DOUBLE_EQ(source.duration(), 2500 / 48000.0);
  source.stop();  // never started: harmless
  const Pass pass = playThrough(source, 2);
  EXPECT_TRUE(pass.playingAtEnd);
  EXPECT_EQ(pass.lengths, (std::vector<uint32_t>{1024, 1024, 452, 1024, 1024, 452}));
  EXPECT_EQ(pass.buffers[3], pass.buffers[0]);
  EXPECT_TRUE(pass.offMainThread);
  EXPECT_FALSE(source.playing());
}

TEST(FileAudioSource, StopEndsDeliveryBeforeReturning) {
  QTemporaryDir dir;
  FileAudioSource source(writeWav(dir.filePath("a.wav"), 16000, 1, 16000 * 5), 1.0);
  std::atomic<int> delivered{0};
  std::promise<void> twice;
  source.setOnBuffer([&](const AudioBuffer&) {
    if (++delivered == 2) twice.set_value();
  });
  source.setOnFinished([] { ADD_FAILURE() << "a paced pass of 5 s ended at once"; });
  source.start();
  twice.get_future().wait();
  source.stop();
  const int atStop = delivered;
  std::this_thread::sleep_for(100ms);  // room for a stray buffer to show up
  EXPECT_EQ(delivered, atStop);
}

// A handler that drops the last reference destroys the source on its own delivery thread.
TEST(FileAudioSource, CanBeDestroyedFromItsOwnDeliveryThread) {
  QTemporaryDir dir;
  auto source = std::make_shared<FileAudioSource>(writeWav(dir.filePath("a.wav"), 16000, 1, 16000), 0);
  std::promise<void> started, destroyed;
  source->setOnBuffer([&, go = started.get_future().share()](const AudioBuffer&) {
    if (!source) return;
    go.wait();
    source.reset();
    destroyed.set_value();
  });
  source->start();
  started.set_value();
  destroyed.get_future().wait();
  // The delivery thread ends by itself, touching nothing of the source it served.
  auto deliveryThreads = [] {
    int n = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QFile comm("/proc/self/task/" + task + "/comm");
      n += comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "file.audio";
    }
    return n;
  };
  for (int i = 0; i < 1000 && deliveryThreads() > 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(deliveryThreads(), 0);
}

// Files refused before anything reads them: FIFOs and devices would block or never end.
struct Refused {
  const char* name;
  std::function<QString(const QTemporaryDir&)> make;
  const char* reason;
};

QString fifo(const QTemporaryDir& dir) {
  EXPECT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  return dir.filePath("fifo");
}

QString link(const QTemporaryDir& dir, const QString& target) {
  EXPECT_TRUE(QFile::link(target, dir.filePath("link.wav")));
  return dir.filePath("link.wav");
}

QString text(const QTemporaryDir& dir) {
  QFile file(dir.filePath("x.wav"));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("this is not audio\n") > 0);
  return file.fileName();
}

const Refused refused[] = {
    {"text", text, ""},
    {"missing", [](const QTemporaryDir& d) { return d.filePath("missing.wav"); }, "No such file"},
    {"folder", [](const QTemporaryDir& d) { return d.path(); }, "not a regular file"},
    {"fifo", fifo, "not a regular file"},
    {"link_to_fifo", [](const QTemporaryDir& d) { return link(d, fifo(d)); }, "not a regular file"},
    {"link_to_device", [](const QTemporaryDir& d) { return link(d, "/dev/zero"); }, "not a regular file"},
};

class FileAudioSourceRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(FileAudioSourceRefuses, WithAMessageNamingTheFile) {
  QTemporaryDir dir;
  const QString path = GetParam().make(dir);
  try {
    FileAudioSource source(path, 0);
    FAIL() << "opened";
  } catch (const Error& e) {
    const QString expected = "Can't open " + QFileInfo(path).fileName() + ": ";
    EXPECT_TRUE(e.message().startsWith(expected)) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains(GetParam().reason)) << e.message().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(BadInput, FileAudioSourceRefuses, ::testing::ValuesIn(refused),
                         [](const auto& info) { return std::string(info.param.name); });

// Odd files that still play: each comes out as float at its own rate and channel count.
struct Odd {
  const char* name;
  int rate, channels, subtype;
  sf_count_t frames;
  qint64 truncateTo;  // bytes; 0 keeps the file whole
  uint32_t expectedFrames;
};

const Odd odd[] = {
    {"eight_bit", 8000, 1, SF_FORMAT_PCM_U8, 3000, 0, 3000},
    {"stereo_44100_float", 44100, 2, SF_FORMAT_FLOAT, 4410, 0, 4410},
    {"empty", 16000, 1, SF_FORMAT_PCM_16, 0, 0, 0},
    // The header promises 10000 frames; the data stops after 3000 and half a sample.
    {"truncated", 16000, 1, SF_FORMAT_PCM_16, 10000, 44 + 2 * 3000 + 1, 3000},
};

class FileAudioSourcePlays : public ::testing::TestWithParam<Odd> {};

TEST_P(FileAudioSourcePlays, AsFloatAtItsOwnRate) {
  const Odd& o = GetParam();
  QTemporaryDir dir;
  const QString path = writeWav(dir.filePath("o.wav"), o.rate, o.channels, o.frames, o.subtype);
  if (o.truncateTo) {
    ASSERT_TRUE(QFile(path).resize(o.truncateTo));
  }
  FileAudioSource source(path, 0);
  EXPECT_EQ(source.format(), floatFormat(o.rate, uint32_t(o.channels)));
  const Pass pass = playThrough(source);
  uint32_t total = 0;
  for (uint32_t n : pass.lengths) total += n;
  EXPECT_EQ(total, o.expectedFrames);
  if (pass.buffers.empty()) return;
  for (int c = 0; c < o.channels; ++c)
    EXPECT_NEAR(pass.buffers[0].floatChannel(uint32_t(c))[9], c == 0 ? 0.045 : -0.045, 0.01);
}

INSTANTIATE_TEST_SUITE_P(BadInput, FileAudioSourcePlays, ::testing::ValuesIn(odd),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
