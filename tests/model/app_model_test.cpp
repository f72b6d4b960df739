#include "model/app_model.h"

#include "storage/settings_store.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

struct CountingLoginItem final : LoginItem {
  bool on = false;
  int writes = 0;
  bool enabled() const override { return on; }
  void setEnabled(bool value) override {
    on = value;
    ++writes;
  }
};

struct StubFacts final : PlatformFacts {
  bool mic = true;
  bool typing = true;
  FnKeySetting fn = FnKeySetting::doNothing;
  std::vector<InputDevice> devices{{1, "a", "Built-in"}, {2, "b", "Headset"}};
  bool microphoneAllowed() override { return mic; }
  bool typingAllowed() override { return typing; }
  FnKeySetting fnSetting() override { return fn; }
  std::vector<InputDevice> inputDevices() override { return devices; }
};

struct Fixture {
  QTemporaryDir dir;
  std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();
  std::shared_ptr<CountingLoginItem> login = std::make_shared<CountingLoginItem>();
  std::shared_ptr<Preferences> prefs = std::make_shared<Preferences>(store, login);
  std::shared_ptr<StubFacts> facts = std::make_shared<StubFacts>();
  AppModel model{prefs, std::make_shared<History>(dir.filePath("h.jsonl"), 10), facts,
                 dir.filePath("dictionary.json")};
  QStringList calls;  // which callback ran, and what the preference held at that moment
  Fixture() {
    model.setOnHotkeyChange([this](HotkeyChoice c) {
      calls << "hotkey:" + storedForm(c) + "/" + storedForm(prefs->hotkey());
    });
    model.setOnMicChange([this](const OptionalText& uid) {
      calls << "mic:" + uid.value_or("none") + "/" + prefs->micUID().value_or("none");
    });
    model.setOnBarModeChange([this] { calls << "bar:" + storedForm(prefs->barMode()); });
    model.setOnPolishChange([this] { calls << QString("polish:%1").arg(prefs->smartPolish()); });
    model.setOnPillChange([this] {
      calls << QString("pill:%1%2").arg(prefs->livePreview()).arg(prefs->pillAtCursor());
    });
  }
};

struct SetterCase {
  const char* name;
  std::function<void(AppModel&)> set;
  const char* signal;
  QStringList calls;
  std::function<bool(const Preferences&)> stored;
};

class Setter : public ::testing::TestWithParam<SetterCase> {};

TEST_P(Setter, StoresNotifiesWritesThenCallsBack) {
  Fixture f;
  f.prefs->setLivePreview(false);
  f.prefs->setHotkey(HotkeyChoice::rightOption);
  f.prefs->setMicUID(QString("b"));
  AppModel model(f.prefs, f.model.history(), f.facts, f.dir.filePath("d.json"));
  model.setOnHotkeyChange(f.model.onHotkeyChange());
  model.setOnMicChange(f.model.onMicChange());
  model.setOnBarModeChange(f.model.onBarModeChange());
  model.setOnPolishChange(f.model.onPolishChange());
  model.setOnPillChange(f.model.onPillChange());
  const int index = model.metaObject()->indexOfSignal(GetParam().signal);
  ASSERT_GE(index, 0) << GetParam().signal;
  QSignalSpy spy(&model, model.metaObject()->method(index));

  GetParam().set(model);

  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(f.calls, GetParam().calls);
  EXPECT_TRUE(GetParam().stored(*f.prefs));
}

INSTANTIATE_TEST_SUITE_P(
    AppModel, Setter,
    ::testing::Values(
        SetterCase{"hotkey",
                   [](AppModel& m) { m.setHotkey(HotkeyChoice::rightCommand); },
                   "hotkeyChanged()",
                   {"hotkey:rightCommand/rightCommand"},
                   [](const Preferences& p) { return p.hotkey() == HotkeyChoice::rightCommand; }},
        // The same key again still rebuilds the monitor.
        SetterCase{"hotkeySame",
                   [](AppModel& m) { m.setHotkey(HotkeyChoice::rightOption); },
                   "hotkeyChanged()",
                   {"hotkey:rightOption/rightOption"},
                   [](const Preferences& p) { return p.hotkey() == HotkeyChoice::rightOption; }},
        SetterCase{"micNone",
                   [](AppModel& m) { m.setMicUID(std::nullopt); },
                   "micUIDChanged()",
                   {"mic:none/none"},
                   [](const Preferences& p) { return !p.micUID(); }},
        SetterCase{"mic",
                   [](AppModel& m) { m.setMicUID(QString("a")); },
                   "micUIDChanged()",
                   {"mic:a/a"},
                   [](const Preferences& p) { return p.micUID() == "a"; }},
        SetterCase{"barMode",
                   [](AppModel& m) { m.setBarMode(BarMode::always); },
                   "barModeChanged()",
                   {"bar:always"},
                   [](const Preferences& p) { return p.barMode() == BarMode::always; }},
        SetterCase{"polish",
                   [](AppModel& m) { m.setSmartPolish(false); },
                   "smartPolishChanged()",
                   {"polish:0"},
                   [](const Preferences& p) { return !p.smartPolish(); }},
        SetterCase{"livePreview",
                   [](AppModel& m) { m.setLivePreview(true); },
                   "livePreviewChanged()",
                   {"pill:11"},
                   [](const Preferences& p) { return p.livePreview(); }},
        SetterCase{"pillAtCursor",
                   [](AppModel& m) { m.setPillAtCursor(false); },
                   "pillAtCursorChanged()",
                   {"pill:00"},
                   [](const Preferences& p) { return !p.pillAtCursor(); }},
        SetterCase{"sounds",
                   [](AppModel& m) { m.setSounds(false); },
                   "soundsChanged()",
                   {},
                   [](const Preferences& p) { return !p.sounds(); }},
        SetterCase{"readBack",
                   [](AppModel& m) { m.setReadBack(true); },
                   "readBackChanged()",
                   {},
                   [](const Preferences& p) { return p.readBack(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppModel, LoadsSettingsAndWritesLaunchAtLoginOnlyWhenItDiffers) {
  Fixture f;
  f.login->on = true;
  f.prefs->setBarMode(BarMode::always);
  AppModel model(f.prefs, f.model.history(), f.facts, f.dir.filePath("d.json"));
  EXPECT_EQ(model.status(), QString("Starting…"));
  EXPECT_EQ(model.barMode(), BarMode::always);
  EXPECT_TRUE(model.launchAtLogin());

  model.setLaunchAtLogin(true);
  EXPECT_EQ(f.login->writes, 0);
  model.setLaunchAtLogin(false);
  EXPECT_EQ(f.login->writes, 1);
  EXPECT_FALSE(f.login->on);
}

TEST(AppModel, RefreshAssignsOnlyWhatChanged) {
  Fixture f;
  QSignalSpy mics(&f.model, &AppModel::micsChanged);
  QSignalSpy fn(&f.model, &AppModel::fnSettingChanged);
  QSignalSpy ax(&f.model, &AppModel::axTrustedChanged);
  f.model.refresh();
  EXPECT_TRUE(f.model.micGranted());
  EXPECT_EQ(f.model.mics(), f.facts->devices);
  EXPECT_EQ(mics.count(), 1);

  f.model.refresh();  // nothing new
  EXPECT_EQ(mics.count(), 1);
  EXPECT_EQ(ax.count(), 1);
  EXPECT_EQ(fn.count(), 0);

  f.facts->devices[1].name = "Headset (USB)";
  f.model.refresh();
  EXPECT_EQ(mics.count(), 2);
  EXPECT_EQ(ax.count(), 1);
}

TEST(AppModel, GlobeKeyConflictNeedsTheFnKey) {
  Fixture f;
  f.facts->fn = FnKeySetting::emoji;
  f.model.refresh();
  f.model.setHotkey(HotkeyChoice::rightControl);
  EXPECT_FALSE(f.model.globeKeyConflict());
  QSignalSpy conflict(&f.model, &AppModel::globeKeyConflictChanged);
  f.model.setHotkey(HotkeyChoice::fn);
  EXPECT_TRUE(f.model.globeKeyConflict());
  EXPECT_EQ(conflict.count(), 1);
  f.model.setFnSetting(FnKeySetting::doNothing);
  EXPECT_FALSE(f.model.globeKeyConflict());
}

TEST(AppModel, SavesTheDictionaryAndSurvivesAnUnwritablePath) {
  Fixture f;
  UserDictionary d;
  d.addFix("Wakutane", "Whakatane");
  f.model.setDictionary(d);
  f.model.saveDictionary();
  EXPECT_EQ(UserDictionary::load(f.dir.filePath("dictionary.json")), d);

  QFile blocker(f.dir.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  AppModel stuck(f.prefs, f.model.history(), f.facts, f.dir.filePath("file/dictionary.json"));
  stuck.setDictionary(d);
  stuck.saveDictionary();  // logged, not thrown
  EXPECT_EQ(stuck.dictionary(), d);
}

}  // namespace
}  // namespace talvo
