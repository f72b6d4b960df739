#include "windows/main_view.h"

#include "model/app_model.h"
#include "support/model_stubs.h"
#include "storage/settings_store.h"
#include "support/qt_printers.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double now = 1'800'000'000;

History::Entry entry(const QString& text, double seconds = 1, double age = 60) {
  return {now - age, text, text, QStringLiteral("none"), seconds, QStringLiteral("pasted")};
}

struct Fixture {
  QTemporaryDir dir;
  std::shared_ptr<Preferences> prefs = std::make_shared<Preferences>(
      std::make_shared<MemorySettingsStore>(), std::make_shared<test::MemoryLoginItem>());
  AppModel model{prefs, std::make_shared<History>(dir.filePath("h.jsonl"), 500),
                 std::make_shared<test::AllowingFacts>(), dir.filePath("dictionary.json")};
  MainView view{&model, nullptr, [] { return now; }};
  Fixture() {
    model.setMicGranted(true);
    model.setAxTrusted(true);
    view.resize(760, 520);
    view.show();
  }
  template <typename T>
  T* named(const QString& name) {
    T* found = view.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  // Widgets added to a shown window show once the event loop has run.
  QStringList visibleTexts(const QString& name) {
    QCoreApplication::processEvents();
    QStringList texts;
    for (QLabel* label : view.findChildren<QLabel*>(name)) {
      if (label->isVisibleTo(&view)) texts << label->text();
    }
    return texts;
  }
  QPushButton* button(const QString& text) {
    for (QPushButton* b : view.findChildren<QPushButton*>()) {
      QCoreApplication::processEvents();
      if (b->text() == text && b->isVisibleTo(&view)) return b;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
  }
  QStringList savedWords() { return UserDictionary::load(dir.filePath("dictionary.json")).words; }
};

// The history page's rows, once every one of them is built.
QList<QWidget*> historyRows(Fixture& f, qsizetype count) {
  auto* list = f.named<QWidget>(QStringLiteral("historyList"));
  QList<QWidget*> rows;
  EXPECT_TRUE(QTest::qWaitFor([&] {
    rows = list->findChildren<QWidget*>(QStringLiteral("historyRow"), Qt::FindDirectChildrenOnly);
    return rows.size() == count;
  }));
  return rows;
}

TEST(HomeView, WeekFiguresAndReadinessFollowTheModel) {
  Fixture f;
  QStringList words;
  for (int i = 0; i < 200; ++i) words << QStringLiteral("w");
  f.model.setEntries({entry(words.join(' '), 60)});
  EXPECT_EQ(f.visibleTexts(QStringLiteral("figure")), (QStringList{"200", "1", "4 min"}));
  EXPECT_EQ(f.visibleTexts(QStringLiteral("readiness")), QStringList{"Ready"});
  f.model.setAxTrusted(false);
  f.model.setHotkey(HotkeyChoice::fn);
  f.model.setFnSetting(FnKeySetting::emoji);
  EXPECT_EQ(f.visibleTexts(QStringLiteral("readiness")), QStringList{"Almost ready"});
  EXPECT_EQ(f.visibleTexts(QStringLiteral("problem")),
            (QStringList{"Typing for you is off, so words go to the clipboard",
                         "The 🌐 key is set to " + label(FnKeySetting::emoji)}));
  QTest::mouseClick(f.button(QStringLiteral("All history")), Qt::LeftButton);
  EXPECT_EQ(f.view.section(), Section::history);
}

TEST(HistoryView, SearchInCapitalsFindsLowerCase) {
  Fixture f;
  f.model.setEntries(
      {entry(QStringLiteral("meet at the harbour")), entry(QStringLiteral("buy milk"))});
  f.view.setSection(Section::history);
  QTest::keyClicks(f.named<QLineEdit>(QStringLiteral("search")), QStringLiteral("HARBOUR"));
  EXPECT_EQ(f.visibleTexts(QStringLiteral("entryText")), QStringList{"meet at the harbour"});
  QTest::keyClicks(f.named<QLineEdit>(QStringLiteral("search")), QStringLiteral("x"));
  EXPECT_TRUE(f.visibleTexts(QStringLiteral("entryText")).isEmpty());
  EXPECT_TRUE(f.visibleTexts(QStringLiteral("nothingYet")).isEmpty());
}

TEST(HistoryView, ALongHistoryIsSearchedToTheEnd) {
  Fixture f;
  HistoryEntries entries;
  for (int i = 0; i < 150; ++i) entries.push_back(entry(QStringLiteral("note %1").arg(i), 1, i));
  f.model.setEntries(entries);
  f.view.setSection(Section::history);
  QTest::keyClicks(f.named<QLineEdit>(QStringLiteral("search")), QStringLiteral("NOTE 149"));
  ASSERT_EQ(historyRows(f, 150).size(), 150);
  EXPECT_EQ(f.visibleTexts(QStringLiteral("entryText")), QStringList{"note 149"});
}

TEST(HistoryView, CopyPutsThatEntryOnTheClipboard) {
  Fixture f;
  f.model.setEntries({entry(QStringLiteral("first thing")), entry(QStringLiteral("second thing"))});
  f.view.setSection(Section::history);
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  const auto rows = historyRows(f, 2);
  ASSERT_EQ(rows.size(), 2);
  auto* copy = rows[1]->findChild<QPushButton*>(QStringLiteral("copy"));
  QTest::mouseClick(copy, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("second thing"));
  EXPECT_EQ(copy->text(), QStringLiteral("Copied"));
  EXPECT_EQ(rows[0]->findChild<QPushButton*>(QStringLiteral("copy"))->text(),
            QStringLiteral("Copy"));
}

// Counts the moves of one widget.
struct MoveCounter : QObject {
  int moves = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    moves += event->type() == QEvent::Move;
    return false;
  }
};

TEST(HistoryView, ClearingASearchLaysTheListOutOnceNotOncePerRow) {
  Fixture f;
  HistoryEntries entries;
  for (int i = 0; i < 60; ++i) {
    entries.push_back(
        entry((i % 2 ? QStringLiteral("pear %1") : QStringLiteral("plum %1")).arg(i), 1, i));
  }
  f.model.setEntries(entries);
  f.view.setSection(Section::history);
  const auto rows = historyRows(f, 60);
  ASSERT_EQ(rows.size(), 60);
  auto* search = f.named<QLineEdit>(QStringLiteral("search"));
  QTest::keyClicks(search, QStringLiteral("pear"));
  QCoreApplication::processEvents();
  MoveCounter last;
  rows.back()->installEventFilter(&last);
  search->clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(f.visibleTexts(QStringLiteral("entryText")).size(), 60);
  // Were the plums shown one at a time, each would push the last pear down once more.
  EXPECT_LE(last.moves, 2);
}

TEST(HistoryView, DeleteAllAsksFirstThenShowsNothingYet) {
  Fixture f;
  f.model.history()->append(entry(QStringLiteral("kept on disk")));
  f.model.setEntries(f.model.history()->recent(100));
  f.view.setSection(Section::history);
  auto* clear = f.named<QPushButton>(QStringLiteral("clear"));
  ASSERT_TRUE(clear->isEnabled());
  QTest::mouseClick(clear, Qt::LeftButton);
  QTest::mouseClick(f.button(QStringLiteral("Cancel")), Qt::LeftButton);
  EXPECT_EQ(f.visibleTexts(QStringLiteral("entryText")), QStringList{"kept on disk"});
  QTest::mouseClick(clear, Qt::LeftButton);
  QTest::mouseClick(f.button(QStringLiteral("Delete all")), Qt::LeftButton);
  EXPECT_EQ(f.visibleTexts(QStringLiteral("nothingYet")), QStringList{"Nothing yet"});
  EXPECT_FALSE(clear->isEnabled());
  EXPECT_TRUE(f.model.history()->recent(100).empty());
}

TEST(DictionaryView, SpacesOnlyCannotBeAdded) {
  Fixture f;
  f.view.setSection(Section::dictionary);
  auto* field = f.named<QLineEdit>(QStringLiteral("newWord"));
  QTest::keyClicks(field, QStringLiteral("   "));
  EXPECT_FALSE(f.named<QPushButton>(QStringLiteral("addWord"))->isEnabled());
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_TRUE(f.model.dictionary().words.isEmpty());
  QTest::keyClicks(field, QStringLiteral("Whakatane "));
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(f.savedWords(), QStringList{"Whakatane"});
  EXPECT_TRUE(field->text().isEmpty());
}

TEST(DictionaryView, RemovingAWordRemovesEveryEqualOneAndSaves) {
  Fixture f;
  f.model.setDictionary({{"Aroha", "Kauri", "Aroha"}, {}});
  f.view.setSection(Section::dictionary);
  QCoreApplication::processEvents();
  auto buttons = f.view.findChildren<QToolButton*>(QStringLiteral("remove"));
  ASSERT_EQ(buttons.size(), 3);
  QTest::mouseClick(buttons.front(), Qt::LeftButton);
  EXPECT_EQ(f.model.dictionary().words, QStringList{"Kauri"});
  EXPECT_EQ(f.savedWords(), QStringList{"Kauri"});
}

TEST(DictionaryView, AFailedSaveKeepsTheEditOnScreen) {
  Fixture f;
  // A folder where the file should be: the save cannot replace it.
  ASSERT_TRUE(QDir(f.dir.path()).mkdir(QStringLiteral("dictionary.json")));
  f.view.setSection(Section::dictionary);
  auto* field = f.named<QLineEdit>(QStringLiteral("newWord"));
  QTest::keyClicks(field, QStringLiteral("Ohope"));
  QTest::keyClick(field, Qt::Key_Return);
  QCoreApplication::processEvents();
  QStringList shown;
  for (QWidget* row : f.view.findChildren<QWidget*>(QStringLiteral("wordRow"))) {
    if (row->isVisibleTo(&f.view)) shown << row->findChild<QLabel*>()->text();
  }
  EXPECT_EQ(shown, QStringList{"Ohope"});
}

TEST(DictionaryView, AddsAndRemovesFixes) {
  Fixture f;
  f.view.setSection(Section::dictionary);
  auto* addFix = f.named<QPushButton>(QStringLiteral("addFix"));
  QTest::keyClicks(f.named<QLineEdit>(QStringLiteral("heard")), QStringLiteral("Wakutane"));
  EXPECT_FALSE(addFix->isEnabled());
  QTest::keyClicks(f.named<QLineEdit>(QStringLiteral("meant")), QStringLiteral("Whakatane"));
  QTest::mouseClick(addFix, Qt::LeftButton);
  const std::vector<UserDictionary::Fix> expected{{"Wakutane", "Whakatane"}};
  EXPECT_EQ(UserDictionary::load(f.dir.filePath("dictionary.json")).fixes, expected);
  QCoreApplication::processEvents();
  QTest::mouseClick(f.view.findChild<QToolButton*>(QStringLiteral("remove")), Qt::LeftButton);
  EXPECT_TRUE(UserDictionary::load(f.dir.filePath("dictionary.json")).fixes.empty());
}

TEST(SettingsView, AKeyChangeReachesTheCallbackAndOtherViews) {
  Fixture f;
  std::vector<HotkeyChoice> changes;
  f.model.setOnHotkeyChange([&](HotkeyChoice c) { changes.push_back(c); });
  f.view.setSection(Section::settings);
  auto* picker = f.named<QComboBox>(QStringLiteral("hotkey"));
  picker->setFocus();
  QTest::keyClick(picker, Qt::Key_Up);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_NE(changes.front(), defaultHotkeyChoice);
  EXPECT_EQ(f.model.hotkey(), changes.front());
  // A change made elsewhere shows in the open picker.
  f.model.setHotkey(defaultHotkeyChoice);
  EXPECT_EQ(picker->currentText(), label(defaultHotkeyChoice));
}

TEST(SettingsView, VersionLineShowsAnUpdate) {
  Fixture f;
  auto* version = f.named<QLabel>(QStringLiteral("version"));
  EXPECT_FALSE(version->text().contains(QStringLiteral("·")));
  EXPECT_EQ(f.view.findChild<QWidget*>(QStringLiteral("updateCard")), nullptr);
  f.model.setUpdate(UpdateInfo{QStringLiteral("9.1"), QStringLiteral("https://example.org"), {}});
  EXPECT_TRUE(version->text().endsWith(QStringLiteral("  ·  9.1 available")))
      << version->text().toStdString();
  EXPECT_NE(f.view.findChild<QWidget*>(QStringLiteral("updateCard")), nullptr);
}

TEST(SettingsView, SpeechServerStatusFollowsTheModelWithANoteOnlyWhenThereIsSomethingToDo) {
  Fixture f;
  f.view.setSection(Section::settings);
  auto* status = f.named<QLabel>(QStringLiteral("speechStatus"));
  auto* note = f.named<QLabel>(QStringLiteral("speechNote"));
  for (SpeechServerStatus s : {SpeechServerStatus::notRunning, SpeechServerStatus::ready,
                               SpeechServerStatus::notAllowed, SpeechServerStatus::loading}) {
    f.model.setSpeechStatus(s);
    EXPECT_EQ(status->text(), QStringLiteral("Speech: ") + label(s));
    EXPECT_EQ(note->isVisibleTo(&f.view), !startNote(s).isEmpty()) << toString(s).toStdString();
  }
}

TEST(SettingsView, UnderTheKeyANoteSaysHowThisDesktopHearsIt) {
  Fixture f;
  f.view.setSection(Section::settings);
  // Back to the held key last: the note has to go again.
  const std::pair<HotkeyPath, QString> cases[] = {{HotkeyPath::desktopShortcut, "confirm it"},
                                                  {HotkeyPath::commandOnly, "bind a shortcut"},
                                                  {HotkeyPath::heldKey, {}}};
  for (const auto& [path, words] : cases) {
    f.model.setHotkeyPath(path);
    const QStringList notes = f.visibleTexts(QStringLiteral("hotkeyPathNote"));
    EXPECT_EQ(notes.size(), words.isEmpty() ? 0 : 1) << words.toStdString();
    EXPECT_TRUE(notes.join(QString()).contains(words)) << words.toStdString();
    EXPECT_EQ(f.named<QComboBox>(QStringLiteral("hotkey"))->isEnabled(),
              path != HotkeyPath::commandOnly);
  }
}

struct GlobeCase {
  HotkeyChoice hotkey;
  FnKeySetting fn;
  int permissionRows;
  bool homeProblem;
};

class GlobeRows : public testing::TestWithParam<GlobeCase> {};

TEST_P(GlobeRows, OnlyForTheFnKey) {
  Fixture f;
  f.model.setHotkey(GetParam().hotkey);
  f.model.setFnSetting(GetParam().fn);
  f.view.setSection(Section::settings);
  int rows = 0;
  QCoreApplication::processEvents();
  for (QWidget* row : f.view.findChildren<QWidget*>(QStringLiteral("permissionRow"))) {
    rows += row->isVisibleTo(&f.view);
  }
  EXPECT_EQ(rows, GetParam().permissionRows);
  f.view.setSection(Section::home);
  EXPECT_EQ(!f.visibleTexts(QStringLiteral("problem")).isEmpty(), GetParam().homeProblem);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GlobeRows,
    testing::Values(GlobeCase{HotkeyChoice::rightOption, FnKeySetting::emoji, 2, false},
                    GlobeCase{HotkeyChoice::fn, FnKeySetting::emoji, 3, true},
                    GlobeCase{HotkeyChoice::fn, FnKeySetting::doNothing, 3, false}));

TEST(SettingsView, TogglesWriteThePreferences) {
  Fixture f;
  f.view.setSection(Section::settings);
  QCheckBox* login = nullptr;
  for (QCheckBox* box : f.view.findChildren<QCheckBox*>()) {
    if (box->text() == QStringLiteral("Open at login")) login = box;
  }
  ASSERT_NE(login, nullptr);
  const bool before = f.model.launchAtLogin();
  QTest::mouseClick(login, Qt::LeftButton, {}, QPoint(5, login->height() / 2));
  EXPECT_EQ(f.model.launchAtLogin(), !before);
  EXPECT_EQ(f.prefs->launchAtLogin(), !before);
}

}  // namespace
}  // namespace talvo
