#include "pipeline/errors.h"
#include "storage/app_info.h"
#include "storage/app_paths.h"
#include "storage/file_io.h"
#include "storage/log.h"
#include "storage/preferences.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace talvo {
namespace {

// Records what it was asked, and fails when told to.
class FakeLoginItem : public LoginItem {
public:
  bool enabled() const override { return on; }
  void setEnabled(bool value) override {
    if (failure) throw Error(*failure);
    on = value;
  }
  bool on = false;
  std::optional<QString> failure;
};

class PreferencesTest : public testing::Test {
protected:
  std::shared_ptr<MemorySettingsStore> store = std::make_shared<MemorySettingsStore>();
  std::shared_ptr<FakeLoginItem> login = std::make_shared<FakeLoginItem>();
  Preferences prefs{store, login};
};

TEST_F(PreferencesTest, AFreshStoreGivesTheDefaults) {
  EXPECT_EQ(prefs.hotkey(), HotkeyChoice::rightControl);
  EXPECT_EQ(prefs.barMode(), BarMode::whileDictating);
  EXPECT_TRUE(prefs.sounds());
  EXPECT_TRUE(prefs.smartPolish());
  EXPECT_TRUE(prefs.livePreview());
  EXPECT_TRUE(prefs.pillAtCursor());
  EXPECT_FALSE(prefs.readBack());
  EXPECT_FALSE(prefs.onboarded());
  EXPECT_EQ(prefs.micUID(), std::nullopt);
  EXPECT_EQ(prefs.aiEndpoint(), "http://127.0.0.1:8080");
  EXPECT_EQ(prefs.aiModel(), "");
  EXPECT_FALSE(prefs.launchAtLogin());
}

TEST_F(PreferencesTest, ChoicesFallBackOnUnknownText) {
  store->set("hotkey", "leftShift");
  EXPECT_EQ(prefs.hotkey(), HotkeyChoice::rightControl);
  store->set("hotkey", "fn");
  EXPECT_EQ(prefs.hotkey(), HotkeyChoice::fn);
  store->set("hotkey", 3);
  EXPECT_EQ(prefs.hotkey(), HotkeyChoice::rightControl);
  store->set("barMode", "Always");
  EXPECT_EQ(prefs.barMode(), BarMode::whileDictating);
  prefs.setBarMode(BarMode::always);
  EXPECT_EQ(store->get("barMode"), QVariant("always"));
  prefs.setHotkey(HotkeyChoice::rightOption);
  EXPECT_EQ(store->get("hotkey"), QVariant("rightOption"));
}

TEST_F(PreferencesTest, TheTwoBooleanReadings) {
  store->set("sounds", "yes");
  EXPECT_TRUE(prefs.sounds());
  store->set("sounds", false);
  EXPECT_FALSE(prefs.sounds());
  store->set("sounds", "false");
  EXPECT_FALSE(prefs.sounds());
  store->set("smartPolish", 0);  // a number is not a boolean
  EXPECT_TRUE(prefs.smartPolish());
  store->set("readBack", "true");
  EXPECT_TRUE(prefs.readBack());
  store->set("readBack", "yes");
  EXPECT_FALSE(prefs.readBack());
  prefs.setOnboarded(true);
  EXPECT_EQ(store->get("onboarded"), QVariant(true));
  EXPECT_TRUE(prefs.onboarded());
}

TEST_F(PreferencesTest, ClearingTheMicrophoneRemovesTheKey) {
  prefs.setMicUID(QStringLiteral("alsa_input.usb-mic"));
  EXPECT_EQ(prefs.micUID(), "alsa_input.usb-mic");
  prefs.setMicUID(std::nullopt);
  EXPECT_FALSE(store->get("micUID").isValid());
  EXPECT_EQ(prefs.micUID(), std::nullopt);
}

TEST_F(PreferencesTest, LocalModelKeys) {
  prefs.setAiEndpoint("http://127.0.0.1:11434");
  prefs.setAiModel("small");
  EXPECT_EQ(prefs.aiEndpoint(), "http://127.0.0.1:11434");
  EXPECT_EQ(prefs.aiModel(), "small");
  store->set("aiEndpoint", "  ");
  EXPECT_EQ(prefs.aiEndpoint(), "http://127.0.0.1:8080");
}

TEST_F(PreferencesTest, LoginItemFailuresAreLoggedNotThrown) {
  QTemporaryDir dir;
  AppPaths::setSupport(dir.path());
  prefs.setLaunchAtLogin(true);
  EXPECT_TRUE(prefs.launchAtLogin());
  login->failure = "could not remove it";
  EXPECT_NO_THROW(prefs.setLaunchAtLogin(false));
  EXPECT_TRUE(prefs.launchAtLogin());
  Log::flush();
  EXPECT_TRUE(file_io::readAll(dir.filePath("talvo.log"), 1 << 26).data->endsWith("Z  launch at login: could not remove it\n"));
}

TEST(IniSettings, BooleansSurviveAReload) {
  QTemporaryDir dir;
  const QString ini = dir.filePath("talvo.ini");
  {
    auto store = std::make_shared<QSettingsStore>(ini);
    Preferences prefs(store, std::make_shared<FakeLoginItem>());
    prefs.setSounds(false);
    prefs.setReadBack(true);
    prefs.setHotkey(HotkeyChoice::rightCommand);
    prefs.setMicUID(QStringLiteral("a,b=c"));
    store->set("pillAtCursor", "yes");
    store->sync();
  }
  Preferences prefs(std::make_shared<QSettingsStore>(ini), std::make_shared<FakeLoginItem>());
  EXPECT_FALSE(prefs.sounds());
  EXPECT_TRUE(prefs.readBack());
  EXPECT_TRUE(prefs.pillAtCursor());
  EXPECT_TRUE(prefs.smartPolish());
  EXPECT_EQ(prefs.hotkey(), HotkeyChoice::rightCommand);
  EXPECT_EQ(prefs.micUID(), "a,b=c");
}

TEST(AutostartEntry, WritesAndRemovesTheDesktopFile) {
  QTemporaryDir dir;
  const QString desktop = dir.filePath("config/autostart/talvo.desktop");
  AutostartLoginItem item(desktop, "/opt/my apps/talvo");
  EXPECT_FALSE(item.enabled());
  item.setEnabled(false);  // nothing to remove: fine
  item.setEnabled(true);
  EXPECT_TRUE(item.enabled());
  const QString entry = QString::fromUtf8(*file_io::readAll(desktop, 1 << 26).data);
  EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(entry.contains("\nType=Application\n"));
  EXPECT_TRUE(entry.contains("\nExec=\"/opt/my apps/talvo\" --autostart\n"));
  item.setEnabled(false);
  EXPECT_FALSE(item.enabled());
  EXPECT_FALSE(QFile::exists(desktop));
}

TEST(AutostartEntry, FailuresThrowWithTheReason) {
  QTemporaryDir dir;
  ASSERT_NO_THROW(file_io::writeAtomically(dir.filePath("plain"), "not a folder"));
  AutostartLoginItem item(dir.filePath("plain/autostart/talvo.desktop"), "/usr/bin/talvo");
  EXPECT_THROW(item.setEnabled(true), Error);
  EXPECT_FALSE(item.enabled());
}

TEST(AutostartEntry, DefaultsToTheUsersConfigFolder) {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
  EXPECT_EQ(AutostartLoginItem::defaultDesktopFile(), dir.path() + "/autostart/talvo.desktop");
}

TEST(AutostartEntry, ExecLineQuoting) {
  EXPECT_EQ(desktopExecLine("/usr/bin/talvo", {"--autostart"}), "/usr/bin/talvo --autostart");
  EXPECT_EQ(desktopExecLine("/home/a b/talvo", {}), "\"/home/a b/talvo\"");
  // $ and " are escaped for the quoting layer, and that backslash again for the file.
  EXPECT_EQ(desktopExecLine("/x/$HOME\"/t", {}), R"("/x/\\$HOME\\"/t")");
  EXPECT_EQ(desktopExecLine("/x/100%/t", {}), "/x/100%%/t");
}

TEST(BarModes, StoredFormsAndLabels) {
  EXPECT_EQ(label(BarMode::whileDictating), "Only while talking");
  EXPECT_EQ(label(BarMode::always), "Always");
  EXPECT_EQ(barModeFromStored(u"always"), BarMode::always);
  EXPECT_EQ(barModeFromStored(u"whileDictating"), BarMode::whileDictating);
  EXPECT_EQ(barModeFromStored(u"Always"), std::nullopt);
  EXPECT_EQ(allBarModes.size(), 2u);
}

TEST(AppInfoValues, ComeFromTheBuild) {
  EXPECT_EQ(AppInfo::version(), QStringLiteral(TALVO_EXPECTED_VERSION));
  EXPECT_EQ(AppInfo::build(), QStringLiteral(TALVO_EXPECTED_BUILD));
}

}  // namespace
}  // namespace talvo
