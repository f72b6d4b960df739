#include "audio/mic/mic_source.h"
#include "audio/mic/pulse_audio_system.h"
#include "pipeline/errors.h"
#include "support/log_capture.h"
#include "pulse_server.h"
#include "support/task_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <mutex>

namespace talvo {
namespace {

using test::PulseServer;

const QString kClip = "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav";

// Keeps channel 0 of everything captured, from the capture thread.
struct Recorder {
  std::mutex lock;
  std::vector<float> samples;
  std::vector<AudioFormat> formats;
  std::vector<uint32_t> lengths;

  static AudioSource::BufferHandler into(std::shared_ptr<Recorder> recorder) {
    return [recorder](const AudioBuffer& buffer) {
      std::lock_guard guard(recorder->lock);
      const float* channel = buffer.floatChannel(0);
      recorder->samples.insert(recorder->samples.end(), channel, channel + buffer.frameLength());
      recorder->formats.push_back(buffer.format());
      recorder->lengths.push_back(buffer.frameLength());
    };
  }
  size_t buffersIn(const AudioFormat& format) {
    std::lock_guard guard(lock);
    return size_t(std::count(formats.begin(), formats.end(), format));
  }
};

// The part of a recording between its first and last sample louder than `threshold`:
// its length in frames and its RMS level.
struct Span {
  size_t frames = 0;
  double rms = 0;
};
Span loudSpan(const std::vector<float>& samples, float threshold) {
  size_t first = samples.size(), last = 0;
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::fabs(samples[i]) > threshold) {
      first = std::min(first, i);
      last = i;
    }
  if (first > last) return {};
  double sum = 0;
  for (size_t i = first; i <= last; ++i) sum += double(samples[i]) * samples[i];
  return {last - first + 1, std::sqrt(sum / double(last - first + 1))};
}

std::vector<float> readClip(int& rate) {
  SF_INFO info{};
  SNDFILE* file = sf_open(kClip.toUtf8().constData(), SFM_READ, &info);
  if (!file) return {};
  std::vector<float> samples(size_t(info.frames) * size_t(info.channels));
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  rate = info.samplerate;
  return samples;
}

class PulseMicTest : public ::testing::Test {
protected:
  void startServer(const QStringList& modules) {
    server = std::make_unique<PulseServer>(modules);
    ASSERT_TRUE(server->running()) << server->log().toStdString();
    system = makePulseAudioSystem();
  }

  test::LogCapture log;
  std::unique_ptr<PulseServer> server;
  std::shared_ptr<AudioSystem> system;
};

TEST_F(PulseMicTest, CapturesSpeechFaithfully) {
  startServer(PulseServer::virtualMicrophone());
  int clipRate = 0;
  const std::vector<float> clip = readClip(clipRate);
  ASSERT_FALSE(clip.empty());
  float peak = 0;
  for (float sample : clip) peak = std::max(peak, std::fabs(sample));
  const float threshold = peak * 0.05f;

  auto mic = MicSource::create(system, QString("vmic"));
  mic->prepare();
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
  EXPECT_EQ(mic->deviceName(), "Virtual_Microphone");
  auto recorder = std::make_shared<Recorder>();
  mic->setOnBuffer(Recorder::into(recorder));
  mic->start();
  ASSERT_TRUE(server->run("paplay", {"-d", "vmic_uplink", kClip}));
  test::spinFor(0.3);
  mic->stop();

  std::lock_guard guard(recorder->lock);
  for (uint32_t length : recorder->lengths) ASSERT_EQ(length, MicSource::kTapFrames);
  const Span want = loudSpan(clip, threshold);
  const Span got = loudSpan(recorder->samples, threshold);
  const double wantSeconds = double(want.frames) / clipRate, gotSeconds = double(got.frames) / 48000;
  EXPECT_NEAR(gotSeconds, wantSeconds, wantSeconds * 0.03);
  EXPECT_NEAR(got.rms, want.rms, want.rms * 0.05);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(PulseMicTest, FollowsDeviceChoiceAndRemoval) {
  startServer(PulseServer::virtualMicrophone());
  AudioDevices devices(system);
  const auto before = devices.inputs();
  EXPECT_NE(std::find_if(before.begin(), before.end(),
                         [](const InputDevice& d) { return d.uid == "vmic" && d.name == "Virtual_Microphone"; }),
            before.end());
  for (const InputDevice& device : before) EXPECT_FALSE(device.uid.endsWith(".monitor")) << device.uid.toStdString();

  auto mic = MicSource::create(system);
  mic->prepare();
  auto recorder = std::make_shared<Recorder>();
  mic->setOnBuffer(Recorder::into(recorder));
  mic->start();

  // A bystander engine tells when the system reports the new device.
  auto watcher = system->makeEngine();
  int changes = 0;
  watcher->setOnConfigurationChange([&] { ++changes; });
  const auto master = server->run("pactl", {"load-module", "module-null-source", "source_name=silence2",
                                            "format=float32le", "rate=44100", "channels=2"});
  const auto second = server->run("pactl", {"load-module", "module-virtual-source", "source_name=vmic2",
                                            "master=silence2", "uplink_sink=vmic2_uplink",
                                            "source_properties=device.description=Second_Microphone"});
  ASSERT_TRUE(master && second);
  EXPECT_TRUE(test::spinUntil([&] { return changes > 0; }));
  ASSERT_TRUE(devices.device("vmic2").has_value());
  EXPECT_EQ(devices.device("vmic2")->name, "Second_Microphone");

  mic->setPreferredUID(QString("vmic2"));
  EXPECT_EQ(mic->rebuilds(), 1);
  EXPECT_EQ(mic->deviceName(), "Second_Microphone");
  EXPECT_EQ(mic->format(), floatFormat(44100, 2));
  EXPECT_TRUE(test::spinUntil([&] { return recorder->buffersIn(floatFormat(44100, 2)) >= 5; }));
  EXPECT_TRUE(log.messages().contains("mic: rebuilt for 44100 Hz x2"));

  // Past the quiet window, the chosen source goes away while capture runs.
  test::spinFor(0.9);
  const size_t onFirst = recorder->buffersIn(floatFormat(48000, 1));
  ASSERT_TRUE(server->run("pactl", {"unload-module", second->trimmed()}));
  EXPECT_TRUE(test::spinUntil([&] { return mic->rebuilds() == 2; }));
  EXPECT_TRUE(mic->running());
  EXPECT_TRUE(test::spinUntil([&] { return recorder->buffersIn(floatFormat(48000, 1)) >= onFirst + 5; }));
  EXPECT_EQ(log.messages().count("mic: rebuilt for 48000 Hz x1"), 1);
  mic->stop();
}

TEST_F(PulseMicTest, ServerWithoutInputHasNoMicrophone) {
  startServer(PulseServer::outputOnly());
  AudioDevices devices(system);
  EXPECT_TRUE(devices.inputs().empty());
  EXPECT_FALSE(devices.defaultInputName().has_value());
  auto mic = MicSource::create(system);
  mic->prepare();
  try {
    mic->start();
    FAIL() << "start should fail";
  } catch (const DictationError& error) {
    EXPECT_EQ(error.code(), DictationErrorCode::noMicrophone);
  }
  EXPECT_FALSE(mic->running());
  EXPECT_EQ(mic->deviceName(), "your mic");
}

TEST_F(PulseMicTest, UnreachableServerHasNoMicrophone) {
  QTemporaryDir dir;
  qputenv("PULSE_SERVER", ("unix:" + dir.path() + "/nothing-here").toUtf8());
  system = makePulseAudioSystem();
  EXPECT_TRUE(AudioDevices(system).inputs().empty());
  auto mic = MicSource::create(system);
  mic->prepare();
  EXPECT_THROW(mic->start(), DictationError);
  EXPECT_FALSE(mic->running());
  EXPECT_EQ(mic->deviceName(), "your mic");
}

}  // namespace
}  // namespace talvo
