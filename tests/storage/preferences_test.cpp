#include "pipeline/errors.h"
#include "storage/file_io.h"
#include "storage/preferences.h"
#include "special_files.h"
#include "support/log_capture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace talvo {
namespace {

// Records what it was asked, and fails when told to.
struct FakeLoginItem : LoginItem {
  bool enabled() const override { return on; }
  void setEnabled(bool value) override { on = failure ? throw Error(*failure) : value; }
  bool on = false;
  std::optional<QString> failure;
};

using P = Preferences;
P over(std::shared_ptr<SettingsStore> store) {
  return P(std::move(store), std::make_shared<FakeLoginItem>());
}

// Each setting: its key; its reading when absent, or stored in a form it cannot use; another
// value in stored form; and its accessors.
struct Setting {
  const char* key;
  QVariant absent, unusable, stored;
  void (*set)(P&&);
  QVariant (*read)(const P&);
};
#define SETTING(key, absent, unusable, stored, setter, reading) \
  {                                                             \
    key, absent, unusable, stored, [](P&& p) { p.setter; },     \
        [](const P& p) { return QVariant(reading); }            \
  }
const Setting settings[] = {
    SETTING("hotkey", "rightControl", "fn", "rightOption", setHotkey(HotkeyChoice::rightOption),
            storedForm(p.hotkey())),
    SETTING("barMode", "whileDictating", "Always", "always", setBarMode(BarMode::always),
            storedForm(p.barMode())),
    SETTING("sounds", true, "yes", false, setSounds(false), p.sounds()),
    SETTING("smartPolish", true, 0, false, setSmartPolish(false), p.smartPolish()),
    SETTING("livePreview", true, "", false, setLivePreview(false), p.livePreview()),
    SETTING("pillAtCursor", true, 1.5, false, setPillAtCursor(false), p.pillAtCursor()),
    SETTING("readBack", false, "yes", true, setReadBack(true), p.readBack()),
    SETTING("onboarded", false, "", true, setOnboarded(true), p.onboarded()),
    SETTING("micUID", {}, 3, "a,b=c", setMicUID("a,b=c"),
            p.micUID() ? QVariant(*p.micUID()) : QVariant()),
    SETTING("aiEndpoint", "http://127.0.0.1:8080", "  ", "http://[::1]:1",
            setAiEndpoint("http://[::1]:1"), p.aiEndpoint()),
    SETTING("aiModel", "", 3, "small", setAiModel("small"), p.aiModel()),
    // Off unless an address is set.
    SETTING("speechEndpoint", "", 8080, "http://127.0.0.1:8178/inference",
            setSpeechEndpoint("http://127.0.0.1:8178/inference"), p.speechEndpoint()),
    SETTING("speechModel", "", true, "large-v3", setSpeechModel("large-v3"), p.speechModel()),
};

// Through an INI file, booleans come back as text.
TEST(PreferenceKeys, EachSettingFallsBackAndRoundTripsUnderItsKeyThroughAnIniFile) {
  QTemporaryDir dir;
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.key);
    auto memory = std::make_shared<MemorySettingsStore>();
    EXPECT_EQ(s.read(over(memory)), s.absent);
    memory->set(s.key, s.unusable);
    EXPECT_EQ(s.read(over(memory)), s.absent);
    s.set(over(memory));
    EXPECT_EQ(memory->get(s.key), s.stored);
    auto file = std::make_shared<QSettingsStore>(dir.filePath(s.key));
    s.set(over(file));
    file->sync();
    EXPECT_EQ(s.read(over(std::make_shared<QSettingsStore>(dir.filePath(s.key)))), s.stored);
  }
  auto memory = std::make_shared<MemorySettingsStore>();
  over(memory).setMicUID("usb-mic");
  over(memory).setMicUID(std::nullopt);
  EXPECT_FALSE(memory->get("micUID").isValid());
}

// The defaults apply, the file is left alone, and the log says why.
TEST(IniSettings, AnUnusableFileIsLeftAloneAndTheDefaultsApply) {
  for (int kind = 0; kind < 3; ++kind) {  // a FIFO, a link to one, a file too large to be ours
    SCOPED_TRACE(kind);
    test::LogCapture log;
    QTemporaryDir dir;
    const QString ini = dir.filePath("talvo.ini");
    const auto fifo = kind < 2 ? test::makeSpecial(test::Special(kind), ini) : nullptr;
    if (!fifo)
      file_io::writeAtomically(ini,
                               "[General]\nsounds=false\npad=" + QByteArray(2 << 20, 'x') + "\n");
    const auto before = file_io::readAll(ini, 1 << 26).data;
    auto store = std::make_shared<QSettingsStore>(ini);
    P prefs = over(store);
    prefs.setReadBack(true);
    store->sync();
    EXPECT_TRUE(prefs.sounds() && prefs.readBack());  // the default, and the change for this run
    EXPECT_TRUE(file_io::readAll(ini, 1 << 26).data == before && QFileInfo(ini).isFile() == !fifo);
    EXPECT_EQ(log.messages()
                  .filter(QRegularExpression("^settings: " + ini + ": .+; using the defaults"))
                  .size(),
              1);
  }
}

TEST(LoginItems, FailuresAreLoggedNotThrown) {
  test::LogCapture log;
  auto login = std::make_shared<FakeLoginItem>();
  P prefs(std::make_shared<MemorySettingsStore>(), login);
  prefs.setLaunchAtLogin(true);
  login->failure = "could not remove it";
  EXPECT_NO_THROW(prefs.setLaunchAtLogin(false));
  EXPECT_TRUE(prefs.launchAtLogin());
  EXPECT_EQ(log.messages(), QStringList{"launch at login: could not remove it"});
}

TEST(AutostartEntry, WritesAndRemovesTheDesktopFileOrThrowsWhy) {
  QTemporaryDir dir;
  const QString desktop = dir.filePath("config/autostart/talvo.desktop");
  AutostartLoginItem item(desktop, "/opt/my apps/talvo");
  item.setEnabled(false);  // nothing to remove: fine
  item.setEnabled(true);
  const QString entry = QString::fromUtf8(file_io::readAll(desktop, 1 << 26).data.value_or(""));
  EXPECT_TRUE(item.enabled() && entry.startsWith("[Desktop Entry]\n") &&
              entry.contains("\nType=Application\n") &&
              entry.contains("\nExec=\"/opt/my apps/talvo\" --autostart\n"))
      << entry.toStdString();
  item.setEnabled(false);
  EXPECT_FALSE(item.enabled() || QFile::exists(desktop));
  EXPECT_THROW(
      AutostartLoginItem("/dev/null/autostart/talvo.desktop", "/usr/bin/talvo").setEnabled(true),
      Error);
  // $ and " are escaped for the quoting layer, and that backslash again for the file.
  EXPECT_EQ(desktopExecLine("/x/$HOME\"/t", {"100%"}), R"("/x/\\$HOME\\"/t" 100%%)");
}

// The program an autostart entry runs: %D is a scratch folder holding real/talvo (the binary),
// bin/talvo (a link to it, as a stow-style or symlinked prefix installs it) and other/talvo.
TEST(AutostartEntry, RunsTheInstalledNameOrTheRealPath) {
  QTemporaryDir dir;
  for (const char* folder : {"real", "bin", "other"}) ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
  for (const char* file : {"real/talvo", "other/talvo"})
    file_io::writeAtomically(dir.filePath(file), "x");
  ASSERT_TRUE(QFile::link(dir.filePath("real/talvo"), dir.filePath("bin/talvo")));
  const struct {
    const char* running;  // as /proc/self/exe names it
    const char* onPath;
    const char* program;
  } cases[] = {
      {"%D/real/talvo", "%D/bin/talvo", "%D/bin/talvo"},
      {"%D/real/talvo", "%D/bin/../bin/talvo", "%D/bin/talvo"},
      {"%D/real/talvo", "%D/other/talvo", "%D/real/talvo"},  // another copy: not this program
      {"%D/real/talvo", "", "%D/real/talvo"},                // not installed
      {"%D/bin/talvo", "", "%D/real/talvo"},                 // started through a link
      {"%D/real/talvo", "bin/talvo", "%D/real/talvo"},  // a relative PATH entry means nothing later
      // An upgrade replaced the running file: the new one at the same place is this program.
      {"%D/real/talvo (deleted)", "%D/bin/talvo", "%D/bin/talvo"},
      {"%D/real/talvo (deleted)", "", "%D/real/talvo"},
      // Removed and not replaced: no program to start.
      {"%D/gone/talvo (deleted)", "%D/bin/talvo", ""},
  };
  const QString root = QFileInfo(dir.path()).canonicalFilePath();
  auto fill = [&](const char* text) { return QString(text).replace("%D", root); };
  for (const auto& c : cases)
    EXPECT_EQ(autostartProgram(fill(c.running), fill(c.onPath)), fill(c.program))
        << c.running << " | " << c.onPath;
}

// The entry written for this very process names the `talvo` on PATH when that is this binary.
TEST(AutostartEntry, FindsThisProgramOnThePath) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
  const QString self = QFileInfo("/proc/self/exe").canonicalFilePath();
  const QString linked = dir.filePath("bin/talvo");
  ASSERT_TRUE(QFile::link(self, linked));
  const QByteArray path = qgetenv("PATH");
  for (const auto& [searched, program] :
       {std::pair{dir.filePath("bin"), linked}, std::pair{dir.filePath("none"), self}}) {
    qputenv("PATH", QFile::encodeName(searched));
    AutostartLoginItem item(dir.filePath("talvo.desktop"));
    item.setEnabled(true);
    const QString entry =
        QString::fromUtf8(file_io::readAll(item.desktopFile(), 1 << 20).data.value_or(""));
    EXPECT_TRUE(entry.contains("\nExec=" + program + " --autostart\n")) << entry.toStdString();
  }
  qputenv("PATH", path);
}

TEST(BarModes, TextFormsRoundTrip) {
  const std::tuple<BarMode, QString, QString> forms[] = {
      {BarMode::whileDictating, "whileDictating", "Only while talking"},
      {BarMode::always, "always", "Always"}};
  ASSERT_EQ(std::size(forms), allBarModes.size());
  for (const auto& [mode, stored, text] : forms)
    EXPECT_TRUE(storedForm(mode) == stored && barModeFromStored(stored) == mode &&
                label(mode) == text)
        << text.toStdString();
}

}  // namespace
}  // namespace talvo
