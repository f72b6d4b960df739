#include "audio/mic/mic_source.h"
#include "pipeline/errors.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <map>

namespace talvo {
namespace {

using namespace std::chrono_literals;

// A sound system whose devices the test edits by hand.
struct FakeWorld {
  std::vector<DeviceInfo> devices;
  std::map<uint32_t, AudioFormat> formats;
  std::optional<uint32_t> defaultInput;
  bool listFails = false;
  int selectStatus = 0;
  std::optional<QString> startError;  // engines fail to start with this message
};

// Records what was done to it, and plays the capture thread and the change notices.
struct FakeEngine final : CaptureEngine {
  explicit FakeEngine(const FakeWorld& world) : world(world) {}

  AudioFormat inputFormat() override {
    auto device = currentDevice();
    return device && world.formats.contains(*device) ? world.formats.at(*device)
                                                     : floatFormat(0, 0);
  }
  std::optional<uint32_t> currentDevice() override {
    if (!pinned) return world.defaultInput;
    bool present = std::any_of(world.devices.begin(), world.devices.end(),
                               [&](auto& d) { return d.id == *pinned; });
    return present ? pinned : std::nullopt;
  }
  int setCurrentDevice(uint32_t id) override {
    if (world.selectStatus == 0) pinned = id;
    return world.selectStatus;
  }
  void installTap(uint32_t frames, AudioFormat format, BufferHandler handler) override {
    tapFrames = frames, tapFormat = format, tap = std::move(handler);
  }
  void removeTap() override { tap = nullptr; }
  void prepare() override {}
  void start() override {
    if (world.startError) throw Error(*world.startError);
    started = true;
  }
  void stop() override { started = false; }
  void setOnConfigurationChange(std::function<void()> handler) override {
    onChange = std::move(handler);
  }

  void deliver() const {
    AudioBuffer buffer(tapFormat, tapFrames);
    buffer.setFrameLength(tapFrames);
    if (tap) tap(buffer);
  }

  const FakeWorld& world;
  std::optional<uint32_t> pinned;
  uint32_t tapFrames = 0;
  AudioFormat tapFormat;
  BufferHandler tap;
  bool started = false;
  std::function<void()> onChange;
};

struct FakeAudioSystem final : AudioSystem {
  std::optional<std::vector<DeviceInfo>> devices() override {
    return world.listFails ? std::nullopt : std::optional(world.devices);
  }
  std::optional<uint32_t> defaultInputDevice() override { return world.defaultInput; }
  std::optional<QString> deviceName(uint32_t id) override {
    for (const DeviceInfo& info : devices().value_or(std::vector<DeviceInfo>{}))
      if (info.id == id) return info.name;
    return std::nullopt;
  }
  std::unique_ptr<CaptureEngine> makeEngine() override {
    return std::unique_ptr<CaptureEngine>(engines.emplace_back(new FakeEngine(world)));
  }
  // The newest engine, the one the microphone is using.
  FakeEngine& engine() { return *engines.back(); }

  FakeWorld world;
  std::vector<FakeEngine*> engines;  // owned by the microphone; only the last is alive
};

const QString rebuiltForHeadset = QStringLiteral("mic: rebuilt for 44100 Hz x2");

// Devices: a built-in microphone (the default), a USB headset and an output-only device.
class MicSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto& world = system->world;
    world.devices = {{73, "builtin", "Built-in Microphone", 1},
                     {80, "usb-headset", "USB Headset", 2},
                     {90, "speakers", "Speakers", 0}};
    world.formats = {{73, floatFormat(48000, 1)}, {80, floatFormat(44100, 2)}};
    world.defaultInput = 73;
  }

  std::shared_ptr<MicSource> makeMic(std::optional<QString> uid = std::nullopt) {
    auto mic = MicSource::create(system, std::move(uid));
    mic->setClock([this] { return now; });
    mic->setOnBuffer([this](const AudioBuffer&) { ++buffers; });
    return mic;
  }

  test::LogCapture log;
  std::shared_ptr<FakeAudioSystem> system = std::make_shared<FakeAudioSystem>();
  MicSource::Clock::time_point now = MicSource::Clock::now();
  int buffers = 0;
};

// A script, one letter a step: p prepare, s start, 7 and 1 wait 700 and 100 ms, D the
// headset becomes the default, n a change notice, H pick the headset, d pick the default,
// F engines fail to start, X the device cannot be selected. Rebuilds are counted before
// the last step and after it.
struct ScriptCase {
  const char* name;
  std::optional<QString> uid;
  std::string script;
  std::pair<int, int> rebuilds;
  AudioFormat format;  // what capture ends up in
  QString deviceName;
  bool running, capturing;  // the source's word, and whether the newest engine runs
  QStringList log;
};
void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.name; }

class MicScript : public MicSourceTest, public ::testing::WithParamInterface<ScriptCase> {
protected:
  void perform(MicSource& mic, char step) {
    switch (step) {
      case 'p': return mic.prepare();
      case 's': try { mic.start();
        } catch (const Error&) {
        }
        return;
      case '7': now += 700ms; return;
      case '1': now += 100ms; return;
      case 'D': system->world.defaultInput = 80; return;
      case 'n': return system->engine().onChange();
      case 'H': return mic.setPreferredUID(QString("usb-headset"));
      case 'd': return mic.setPreferredUID(std::nullopt);
      case 'F': system->world.startError = "device busy"; return;
      case 'X': system->world.selectStatus = -10851; return;
    }
  }
};

TEST_P(MicScript, Rules) {
  const ScriptCase& c = GetParam();
  auto mic = makeMic(c.uid);
  for (char step : c.script.substr(0, c.script.size() - 1)) perform(*mic, step);
  EXPECT_EQ(mic->rebuilds(), c.rebuilds.first);
  perform(*mic, c.script.back());
  EXPECT_EQ(mic->rebuilds(), c.rebuilds.second);
  EXPECT_EQ(mic->format(), c.format);
  EXPECT_EQ(mic->deviceName(), c.deviceName);
  EXPECT_EQ(mic->running(), c.running);
  EXPECT_EQ(system->engine().started, c.capturing);
  EXPECT_EQ(log.messages(), c.log);
  system->engine().deliver();
  EXPECT_EQ(buffers, 1) << "the handler reaches the newest engine";
}

const AudioFormat builtin = floatFormat(48000, 1);
const AudioFormat headset = floatFormat(44100, 2);
const QString builtinName = QStringLiteral("Built-in Microphone"),
              headsetName = QStringLiteral("USB Headset");
const QString headsetUid = QStringLiteral("usb-headset");

INSTANTIATE_TEST_SUITE_P(
    Devices, MicScript,
    ::testing::Values(
        ScriptCase{"ANoticeInsideTheQuietWindowIsIgnored",
                   {},
                   "psD7n1n",
                   {0, 1},
                   headset,
                   headsetName,
                   true,
                   true,
                   {rebuiltForHeadset}},
        ScriptCase{"AnUnchangedDeviceIsNoReason",
                   {},
                   "ps71n",
                   {0, 0},
                   builtin,
                   builtinName,
                   true,
                   true,
                   {}},
        ScriptCase{"AChangeWhileStoppedWaitsForTheNextStart",
                   {},
                   "p71Dns",
                   {0, 1},
                   headset,
                   headsetName,
                   true,
                   true,
                   {rebuiltForHeadset}},
        ScriptCase{"TheSameDeviceAgainDoesNothing",
                   headsetUid,
                   "pHs",
                   {0, 0},
                   headset,
                   headsetName,
                   true,
                   true,
                   {}},
        ScriptCase{
            "TheDefaultAgainDoesNothing", {}, "pds", {0, 0}, builtin, builtinName, true, true, {}},
        ScriptCase{"ANewDeviceWhileStoppedWaitsForTheNextStart",
                   {},
                   "pHs",
                   {0, 1},
                   headset,
                   headsetName,
                   true,
                   true,
                   {rebuiltForHeadset}},
        ScriptCase{"ANewDeviceWhileRunningRebuildsAtOnce",
                   {},
                   "psH",
                   {0, 1},
                   headset,
                   headsetName,
                   true,
                   true,
                   {rebuiltForHeadset}},
        ScriptCase{"ARestartThatFailsAfterARebuildIsLogged",
                   {},
                   "psFH",
                   {0, 1},
                   headset,
                   headsetName,
                   true,
                   false,
                   {rebuiltForHeadset, "mic: restart after device change failed: device busy"}},
        ScriptCase{"AMissingChoiceQuietlyUsesTheDefault",
                   "unplugged",
                   "ps",
                   {0, 0},
                   builtin,
                   builtinName,
                   true,
                   true,
                   {}},
        ScriptCase{"AChoiceThatCannotBeSelectedIsLogged",
                   headsetUid,
                   "Xps",
                   {0, 0},
                   builtin,
                   headsetName,
                   true,
                   true,
                   {"mic: couldn't select USB Headset (-10851), using default"}},
        ScriptCase{"AnEngineThatFailsToStartIsLogged",
                   {},
                   "Fps",
                   {0, 0},
                   builtin,
                   builtinName,
                   false,
                   false,
                   {"mic: start failed: device busy"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MicSourceTest, TapsTheNativeFormatInTapSizedBuffersUntilTheHandlerGoes) {
  auto mic = makeMic();
  mic->prepare();
  EXPECT_EQ(system->engine().tapFrames, MicSource::kTapFrames);
  EXPECT_EQ(mic->format(), builtin);
  mic->start();
  system->engine().deliver();
  mic->setOnBuffer(nullptr);  // replaceable while running; an unset handler does nothing
  system->engine().deliver();
  EXPECT_EQ(buffers, 1);
  mic->stop();
  EXPECT_FALSE(mic->running());
  EXPECT_TRUE(system->engine().tap != nullptr) << "the tap stays for a quick restart";
  mic->start();
  EXPECT_EQ(system->engines.size(), 1u);
}

TEST_F(MicSourceTest, NoInputIsNoMicrophoneUntilOneAppears) {
  system->world.defaultInput.reset();
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
  system->world.defaultInput = 73;
  mic->start();
  EXPECT_EQ(mic->format(), builtin);
}

TEST_F(MicSourceTest, CallbacksOutliveTheSourceHarmlessly) {
  auto mic = makeMic();
  mic->prepare();
  mic->start();
  // Callbacks the engine kept are all that remain once the source is gone.
  FakeEngine::BufferHandler tap = system->engine().tap;
  std::function<void()> change = system->engine().onChange;
  mic.reset();
  tap(AudioBuffer(builtin, MicSource::kTapFrames));
  if (change) change();
  EXPECT_EQ(buffers, 0);
}

TEST_F(MicSourceTest, DevicesListOnlyNamedInputs) {
  system->world.devices.push_back({95, "", "No Uid", 1});
  system->world.devices.push_back({96, "noname", "", 1});
  AudioDevices devices(system);
  EXPECT_EQ(devices.inputs(), (std::vector<InputDevice>{{73, "builtin", "Built-in Microphone"},
                                                        {80, "usb-headset", "USB Headset"}}));
  EXPECT_EQ(devices.device("usb-headset"), (InputDevice{80, "usb-headset", "USB Headset"}));
  EXPECT_FALSE(devices.device("speakers").has_value());
  EXPECT_FALSE(devices.device("USB-HEADSET").has_value());
  EXPECT_EQ(devices.defaultInputName(), QString("Built-in Microphone"));
  system->world.listFails = true;
  EXPECT_TRUE(devices.inputs().empty());
  EXPECT_FALSE(devices.defaultInputName().has_value());
}

}  // namespace
}  // namespace talvo
