#include "audio/mic/mic_source.h"
#include "fake_audio_system.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

using test::FakeAudioSystem;
using test::FakeEngine;
using namespace std::chrono_literals;

// Devices: a built-in microphone (default), a USB headset and an output-only device.
class MicSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto& world = *system->world;
    world.devices = {{73, "builtin", "Built-in Microphone", 1},
                     {80, "usb-headset", "USB Headset", 2},
                     {90, "speakers", "Speakers", 0}};
    world.formats = {{73, floatFormat(48000, 1)}, {80, floatFormat(44100, 2)}};
    world.defaultInput = 73;
  }

  std::shared_ptr<MicSource> makeMic(std::optional<QString> uid = std::nullopt) {
    auto mic = MicSource::create(system, std::move(uid));
    mic->setClock([this] { return now; });
    return mic;
  }

  // Switches the system default to the headset, a real change of the device signature.
  void switchDefaultToHeadset() { system->world->defaultInput = 80; }

  test::LogCapture log;
  std::shared_ptr<FakeAudioSystem> system = std::make_shared<FakeAudioSystem>();
  MicSource::Clock::time_point now = MicSource::Clock::now();
};

TEST_F(MicSourceTest, SignatureForm) {
  EXPECT_EQ(MicSource::signature(73, 44100.0, 2, std::nullopt), "73/44100/2/default");
  EXPECT_EQ(MicSource::signature(std::nullopt, 44100.9, 1, QString("usb")), "0/44100/1/usb");
  auto mic = makeMic(QString("usb-headset"));
  mic->prepare();
  EXPECT_EQ(mic->deviceSignature(), "80/44100/2/usb-headset");
}

TEST_F(MicSourceTest, PrepareTapsNativeFormatInTapSizedBuffers) {
  auto mic = makeMic();
  mic->prepare();
  EXPECT_EQ(system->engine().tapFrames, 1024u);
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
  int calls = 0;
  mic->setOnBuffer([&](const AudioBuffer& buffer) {
    ++calls;
    EXPECT_EQ(buffer.frameLength(), 1024u);
  });
  mic->start();
  EXPECT_TRUE(mic->running());
  system->engine().deliver();
  mic->setOnBuffer(nullptr);  // replaceable while running; an unset handler does nothing
  system->engine().deliver();
  EXPECT_EQ(calls, 1);
}

TEST_F(MicSourceTest, ChangeInsideQuietWindowIsIgnored) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  switchDefaultToHeadset();
  now += 700ms;
  system->engine().notify();
  EXPECT_EQ(mic->rebuilds(), 0);

  now += 100ms;
  system->engine().notify();
  EXPECT_EQ(mic->rebuilds(), 1);
  EXPECT_TRUE(system->engine().started);
  EXPECT_EQ(mic->format(), floatFormat(44100, 2));
  EXPECT_EQ(log.messages(), QStringList{"mic: rebuilt for 44100 Hz x2"});
}

TEST_F(MicSourceTest, UnchangedSignatureCausesNoRebuild) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  now += 2s;
  system->engine().notify();
  EXPECT_EQ(mic->rebuilds(), 0);
  EXPECT_EQ(system->engines.size(), 1u);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(MicSourceTest, ChangeWhileStoppedWaitsForNextStart) {
  auto mic = makeMic();
  mic->prepare();
  now += 1s;
  switchDefaultToHeadset();
  system->engine().notify();
  EXPECT_EQ(mic->rebuilds(), 0);
  EXPECT_EQ(system->engines.size(), 1u);
  mic->start();
  EXPECT_EQ(mic->rebuilds(), 1);
  EXPECT_TRUE(system->engine().started);
  EXPECT_EQ(mic->format(), floatFormat(44100, 2));
}

TEST_F(MicSourceTest, SameUidDoesNothing) {
  auto mic = makeMic(QString("usb-headset"));
  mic->prepare();
  mic->setPreferredUID(QString("usb-headset"));
  mic->start();
  EXPECT_EQ(mic->rebuilds(), 0);
  auto plain = makeMic();
  plain->prepare();
  plain->setPreferredUID(std::nullopt);
  plain->start();
  EXPECT_EQ(plain->rebuilds(), 0);
}

TEST_F(MicSourceTest, NewUidWhileStoppedRebuildsAtStart) {
  auto mic = makeMic();
  mic->prepare();
  mic->setPreferredUID(QString("usb-headset"));
  EXPECT_EQ(mic->rebuilds(), 0);
  EXPECT_TRUE(log.messages().isEmpty());
  mic->start();
  EXPECT_EQ(mic->rebuilds(), 1);
  EXPECT_EQ(system->engine().pinned, 80u);
  EXPECT_TRUE(system->engine().started);
  EXPECT_EQ(log.messages(), QStringList{"mic: rebuilt for 44100 Hz x2"});
}

TEST_F(MicSourceTest, NewUidWhileRunningRebuildsAtOnceAndKeepsCapturing) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  FakeEngine* old = &system->engine();
  int buffers = 0;
  mic->setOnBuffer([&](const AudioBuffer&) { ++buffers; });
  mic->setPreferredUID(QString("usb-headset"));
  EXPECT_EQ(mic->rebuilds(), 1);
  EXPECT_NE(&system->engine(), old);
  EXPECT_TRUE(system->engine().started);
  EXPECT_TRUE(mic->running());
  system->engine().deliver();
  EXPECT_EQ(buffers, 1);
  EXPECT_EQ(mic->deviceName(), "USB Headset");
}

TEST_F(MicSourceTest, MissingPreferredDeviceUsesDefaultQuietly) {
  auto mic = makeMic(QString("unplugged"));
  mic->prepare();
  EXPECT_FALSE(system->engine().pinned.has_value());
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
  EXPECT_EQ(mic->deviceName(), "Built-in Microphone");
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(MicSourceTest, SelectionFailureIsLogged) {
  system->world->selectStatus = -10851;
  auto mic = makeMic(QString("usb-headset"));
  mic->prepare();
  EXPECT_EQ(log.messages(), QStringList{"mic: couldn't select USB Headset (-10851), using default"});
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
}

TEST_F(MicSourceTest, NoInputFailsWithNoMicrophone) {
  system->world->defaultInput.reset();
  auto mic = makeMic();
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

TEST_F(MicSourceTest, InputAppearingAfterPrepareIsTappedAtStart) {
  system->world->defaultInput.reset();
  auto mic = makeMic();
  mic->prepare();
  system->world->defaultInput = 73;
  mic->start();
  EXPECT_TRUE(mic->running());
  EXPECT_EQ(mic->format(), floatFormat(48000, 1));
}

TEST_F(MicSourceTest, EngineStartFailureIsLoggedAndPassedOn) {
  system->world->startError = "device busy";
  auto mic = makeMic();
  mic->prepare();
  EXPECT_THROW(mic->start(), Error);
  EXPECT_FALSE(mic->running());
  EXPECT_EQ(log.messages(), QStringList{"mic: start failed: device busy"});
}

TEST_F(MicSourceTest, RestartFailureAfterRebuildKeepsRunning) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  system->world->startError = "device busy";
  mic->setPreferredUID(QString("usb-headset"));
  EXPECT_TRUE(mic->running());
  EXPECT_EQ(log.messages(), (QStringList{"mic: rebuilt for 44100 Hz x2",
                                         "mic: restart after device change failed: device busy"}));
}

TEST_F(MicSourceTest, StopKeepsTapForQuickRestart) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  mic->stop();
  EXPECT_FALSE(mic->running());
  EXPECT_TRUE(system->engine().tap != nullptr);
  mic->stop();  // safe when not started
  mic->start();
  EXPECT_EQ(system->engines.size(), 1u);
}

TEST_F(MicSourceTest, CallbacksOutliveTheSourceHarmlessly) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  int buffers = 0;
  mic->setOnBuffer([&](const AudioBuffer&) { ++buffers; });
  // Callbacks the engine kept are all that remain once the source is gone.
  FakeEngine::BufferHandler tap = system->engine().tap;
  std::function<void()> change = system->engine().onChange;
  mic.reset();
  AudioBuffer buffer(floatFormat(48000, 1), 1024);
  tap(buffer);
  if (change) change();
  EXPECT_EQ(buffers, 0);
}

TEST_F(MicSourceTest, DevicesListOnlyNamedInputs) {
  system->world->devices.push_back({95, "", "No Uid", 1});
  system->world->devices.push_back({96, "noname", "", 1});
  AudioDevices devices(system);
  EXPECT_EQ(devices.inputs(), (std::vector<InputDevice>{{73, "builtin", "Built-in Microphone"},
                                                        {80, "usb-headset", "USB Headset"}}));
  EXPECT_EQ(devices.device("usb-headset"), (InputDevice{80, "usb-headset", "USB Headset"}));
  EXPECT_FALSE(devices.device("speakers").has_value());
  EXPECT_FALSE(devices.device("USB-HEADSET").has_value());
  EXPECT_EQ(devices.defaultInputName(), QString("Built-in Microphone"));
  system->world->listFails = true;
  EXPECT_TRUE(devices.inputs().empty());
  EXPECT_FALSE(devices.defaultInputName().has_value());
}

}  // namespace
}  // namespace talvo
