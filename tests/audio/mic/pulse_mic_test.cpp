// The microphone through a private PulseAudio server with a virtual microphone.
#include "audio/mic/mic_source.h"
#include "audio/mic/pulse_audio_system.h"
#include "pipeline/errors.h"
#include "pulse_server.h"
#include "support/log_capture.h"
#include "support/task_runner.h"

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <cmath>
#include <mutex>

namespace talvo {
namespace {

using test::PulseServer;

const QString kClip =
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav";

// Keeps channel 0 of everything captured, from the capture thread.
struct Recorder {
  std::mutex lock;
  std::vector<float> samples;
  std::vector<AudioFormat> formats;
  bool allTapSized = true;

  static AudioSource::BufferHandler into(const std::shared_ptr<Recorder>& recorder) {
    return [recorder](const AudioBuffer& buffer) {
      std::lock_guard guard(recorder->lock);
      recorder->samples.insert(recorder->samples.end(), buffer.floatChannel(0),
                               buffer.floatChannel(0) + buffer.frameLength());
      recorder->formats.push_back(buffer.format());
      recorder->allTapSized =
          recorder->allTapSized && buffer.frameLength() == MicSource::kTapFrames;
    };
  }
  size_t buffersIn(const AudioFormat& format) {
    std::lock_guard guard(lock);
    return size_t(std::count(formats.begin(), formats.end(), format));
  }
  size_t frames() {
    std::lock_guard guard(lock);
    return samples.size();
  }
};

// The seconds between the first and last sample louder than `threshold`, and their RMS level.
std::pair<double, double> loudSpan(const std::vector<float>& samples, float threshold,
                                   double rate) {
  auto loud = [threshold](float s) { return std::fabs(s) > threshold; };
  auto first = std::find_if(samples.begin(), samples.end(), loud);
  auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  if (first >= last) return {0, 0};
  double sum = 0;
  for (auto it = first; it != last; ++it) sum += double(*it) * *it;
  return {double(last - first) / rate, std::sqrt(sum / double(last - first))};
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
  SndfileHandle file(kClip.toStdString());
  std::vector<float> clip(size_t(file.frames()));
  ASSERT_EQ(file.channels(), 1);
  ASSERT_EQ(file.readf(clip.data(), file.frames()), file.frames());
  const float threshold =
      std::fabs(*std::max_element(clip.begin(), clip.end(),
                                  [](float a, float b) { return std::fabs(a) < std::fabs(b); })) *
      0.05f;

  auto mic = MicSource::create(system, QString("vmic"));
  mic->prepare();
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
  EXPECT_EQ(mic->deviceName(), "Virtual_Microphone");
  auto recorder = std::make_shared<Recorder>();
  mic->setOnBuffer(Recorder::into(recorder));
  mic->start();
  ASSERT_TRUE(server->run("paplay", {"-d", "vmic_uplink", kClip}));
  // Capture trails the player a little: wait for another 0.3 s of audio, whatever the clock.
  const size_t tail = recorder->frames() + 48000 * 3 / 10;
  ASSERT_TRUE(test::spinUntil([&] { return recorder->frames() >= tail; }));
  mic->stop();

  std::lock_guard guard(recorder->lock);
  EXPECT_TRUE(recorder->allTapSized);
  const auto [wantSeconds, wantRms] = loudSpan(clip, threshold, file.samplerate());
  const auto [gotSeconds, gotRms] = loudSpan(recorder->samples, threshold, 48000);
  EXPECT_NEAR(gotSeconds, wantSeconds, wantSeconds * 0.03);
  EXPECT_NEAR(gotRms, wantRms, wantRms * 0.05);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(PulseMicTest, FollowsDeviceChoiceAndRemoval) {
  startServer(PulseServer::virtualMicrophone());
  AudioDevices devices(system);
  ASSERT_TRUE(devices.device("vmic").has_value());
  EXPECT_EQ(devices.device("vmic")->name, "Virtual_Microphone");
  for (const InputDevice& device : devices.inputs()) EXPECT_FALSE(device.uid.endsWith(".monitor"));

  auto mic = MicSource::create(system);
  mic->prepare();
  auto recorder = std::make_shared<Recorder>();
  mic->setOnBuffer(Recorder::into(recorder));
  mic->start();

  // A bystander engine tells when the system reports the new device.
  auto watcher = system->makeEngine();
  int changes = 0;
  watcher->setOnConfigurationChange([&] { ++changes; });
  const auto master =
      server->run("pactl", {"load-module", "module-null-source", "source_name=silence2",
                            "format=float32le", "rate=44100", "channels=2"});
  const auto second =
      server->run("pactl", {"load-module", "module-virtual-source", "source_name=vmic2",
                            "master=silence2", "uplink_sink=vmic2_uplink",
                            "source_properties=device.description=Second_Microphone"});
  ASSERT_TRUE(master && second);
  EXPECT_TRUE(test::spinUntil([&] { return changes > 0; }));
  ASSERT_TRUE(devices.device("vmic2").has_value());

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
  EXPECT_TRUE(
      test::spinUntil([&] { return recorder->buffersIn(floatFormat(48000, 1)) >= onFirst + 5; }));
  EXPECT_EQ(log.messages().count("mic: rebuilt for 48000 Hz x1"), 1);
  mic->stop();
}

// No server, or one with nothing to record from but an output's monitor.
class NoMicrophone : public PulseMicTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NoMicrophone, StartFailsAndTheNameIsGeneric) {
  QTemporaryDir dir;
  if (GetParam())
    startServer(PulseServer::outputOnly());
  else
    qputenv("PULSE_SERVER", ("unix:" + dir.path() + "/nothing-here").toUtf8());
  system = makePulseAudioSystem();
  EXPECT_TRUE(AudioDevices(system).inputs().empty());
  EXPECT_FALSE(AudioDevices(system).defaultInputName().has_value());
  auto mic = MicSource::create(system);
  mic->prepare();
  EXPECT_THROW(mic->start(), DictationError);  // its only reason here: no microphone
  EXPECT_FALSE(mic->running());
  EXPECT_EQ(mic->deviceName(), "your mic");
}

INSTANTIATE_TEST_SUITE_P(Servers, NoMicrophone, ::testing::Bool(), [](const auto& info) {
  return info.param ? "OutputOnly" : "Unreachable";
});

}  // namespace
}  // namespace talvo
