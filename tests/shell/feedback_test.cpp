// The dictation feedback: controller states and outcomes in; sounds, bar phases, the
// status line, the log, read-back and copies out.
#include "bar/pill_controller.h"
#include "shell/dictation_feedback.h"
#include "shell/display_words.h"
#include "storage/settings_store.h"
#include "support/log_capture.h"
#include "support/model_stubs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using K = PillPhase::Kind;
namespace s = dictation_state;
namespace o = insert_outcome;

const QString before = QStringLiteral("(status before)");

struct RecordingDesktop final : BarDesktop {
  std::vector<pill_geometry::ScreenArea> screens() override { return {{{0, 0, 1280, 800}, {0, 0, 1280, 770}}}; }
  std::optional<QPointF> pointer() override { return QPointF(1, 1); }
  std::optional<QRectF> caret() override { return std::nullopt; }
  std::optional<QImage> activeAppIcon() override { return std::nullopt; }
  void showPanel(const QRectF&, bool) override {}
  void hidePanel() override {}
  void setClickHandlers(std::function<void()>, std::function<void()>) override {}
};

struct RecordingSounds final : SoundPlayer {
  std::vector<Sound> played;
  void play(Sound sound) override { played.push_back(sound); }
};

// "stop" and "say <text>" in call order.
struct RecordingSpeaker final : Speaker {
  QStringList calls;
  void stop() override { calls << QStringLiteral("stop"); }
  void say(const QString& text) override { calls << QStringLiteral("say ") + text; }
};

// A feedback over the real bar logic and model, with everything it drives recorded.
struct Rig {
  test::LogCapture log;
  QTemporaryDir dir;
  std::shared_ptr<Preferences> prefs =
      std::make_shared<Preferences>(std::make_shared<MemorySettingsStore>(), std::make_shared<test::MemoryLoginItem>());
  std::shared_ptr<History> history = std::make_shared<History>(dir.filePath("history.jsonl"), 500);
  AppModel model{prefs, history, std::make_shared<test::AllowingFacts>(), dir.filePath("dictionary.json")};
  std::shared_ptr<PillModel> barModel = std::make_shared<PillModel>();
  std::shared_ptr<PillController> bar = std::make_shared<PillController>(barModel, std::make_shared<RecordingDesktop>());
  std::shared_ptr<RecordingSounds> sounds = std::make_shared<RecordingSounds>();
  std::shared_ptr<RecordingSpeaker> speaker = std::make_shared<RecordingSpeaker>();
  bool listening = false;
  std::optional<QString> lastText;
  std::vector<HotkeyEvent> handled;
  QStringList copied;
  bool setupShown = false;
  std::vector<std::vector<SpokenWord>> fixCards;
  std::unique_ptr<DictationFeedback> feedback;

  Rig() {
    model.setStatus(before);
    FeedbackParts parts{prefs, &model, bar, sounds, speaker, {}, {}, {}, {}, dir.filePath("dictionary.json")};
    parts.dictation.listening = [this] { return listening; };
    parts.dictation.lastText = [this] { return lastText; };
    parts.dictation.handle = [this](const HotkeyEvent& e) { handled.push_back(e); };
    parts.copyText = [this](const QString& text) { copied << text; };
    parts.setupVisible = [this] { return setupShown; };
    parts.openFixCard = [this](const std::vector<SpokenWord>& words) { fixCards.push_back(words); };
    feedback = std::make_unique<DictationFeedback>(std::move(parts));
  }
};

DictationRecord pastedRecord(const QString& text) {
  DictationRecord record;
  record.raw = record.text = text;
  record.outcome = o::Pasted{};
  record.words = {{text, 0.9, false}};
  return record;
}

struct StateCase {
  const char* name;
  DictationState state;
  std::vector<Sound> sounds;
  PillPhase phase;
  bool restPending;  // the bar returns to rest by itself later
  QString status;
  QStringList log;
  bool soundsOn = true;
  bool setupShown = false;
  bool withRecord = true;
};
void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }

const PillPhase hidden = PillPhase::of(K::hidden);
const QString noTextBox = QStringLiteral("No text box selected · Click to copy");

class StateFeedback : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateFeedback, SoundsBarStatusAndLog) {
  const StateCase& c = GetParam();
  Rig rig;
  rig.prefs->setSounds(c.soundsOn);
  rig.setupShown = c.setupShown;
  if (c.withRecord) rig.feedback->onRecord(pastedRecord(QStringLiteral("hello")));
  rig.bar->listen();  // every state but idle follows a press
  rig.feedback->onState(c.state);
  EXPECT_EQ(rig.sounds->played, c.sounds);
  EXPECT_EQ(rig.bar->phase(), c.phase);
  EXPECT_EQ(rig.bar->restPending(), c.restPending);
  EXPECT_EQ(rig.bar->meterRunning(), c.phase.is(K::listening)) << "the meter runs only while listening";
  EXPECT_EQ(rig.model.status(), c.status);
  EXPECT_EQ(rig.log.messages(), c.log);
}

INSTANTIATE_TEST_SUITE_P(
    States, StateFeedback,
    ::testing::Values(
        StateCase{"Idle", s::Idle{}, {}, hidden, false, before, {}},
        StateCase{"Listening", s::Listening{}, {Sound::tink}, PillPhase::of(K::listening), false, before, {}},
        StateCase{"ListeningQuiet", s::Listening{}, {}, PillPhase::of(K::listening), false, before, {}, false},
        StateCase{"Working", s::Working{}, {Sound::pop}, PillPhase::of(K::working), false, before, {}},
        StateCase{"WorkingQuiet", s::Working{}, {}, PillPhase::of(K::working), false, before, {}, false},
        StateCase{"Discarded", s::Discarded{AbortReason::combo}, {}, hidden, false, before,
                  {"dictation discarded: combo"}},
        StateCase{"Failed", s::Failed{"Didn't catch that."}, {},
                  PillPhase::message("Didn't catch that.", "exclamationmark.triangle", false), true,
                  "Didn't catch that.", {"dictation failed: Didn't catch that."}},
        StateCase{"Pasted", s::Done{o::Pasted{}}, {}, PillPhase::of(K::done), true, "Ready.", {}},
        StateCase{"PastedIntoSetUp", s::Done{o::Pasted{}}, {}, hidden, false, "Ready.", {}, true, true},
        StateCase{"PastedWithoutRecord", s::Done{o::Pasted{}}, {}, hidden, false, "Ready.", {}, true, false, false},
        StateCase{"CopiedNoPermission", s::Done{o::CopiedNoPermission{}}, {},
                  PillPhase::message("Copied. Press Ctrl+V to paste", "doc.on.clipboard", false), true,
                  "Copied. Typing for you is off on this desktop, so press Ctrl+V to paste.", {}},
        StateCase{"PasswordField", s::Done{o::HeldBack{FocusVerdict::secureInput}}, {},
                  PillPhase::message("Password field, so nothing was typed", "lock", false), true, before, {}},
        StateCase{"OwnApp", s::Done{o::HeldBack{FocusVerdict::ownApp}}, {}, hidden, false, before, {}},
        StateCase{"NotText", s::Done{o::HeldBack{FocusVerdict::notText}}, {},
                  PillPhase::message(noTextBox, "text.badge.xmark", true), true,
                  "No text box was selected. It's in History.", {}},
        StateCase{"UnknownFocus", s::Done{o::HeldBack{FocusVerdict::unknown}}, {},
                  PillPhase::message(noTextBox, "text.badge.xmark", true), true,
                  "No text box was selected. It's in History.", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateFeedback, LockedKeepsListeningAndMarksTheBar) {
  Rig rig;
  rig.bar->listen();
  rig.feedback->onState(s::Locked{});
  EXPECT_EQ(rig.sounds->played, std::vector<Sound>{Sound::tink});
  EXPECT_TRUE(rig.barModel->locked());
  EXPECT_EQ(rig.bar->phase(), PillPhase::of(K::listening));
}

TEST(StateFeedback, DoneReloadsTheHistoryAndShowsTheFinalWords) {
  Rig rig;
  rig.history->append({1, "Hello, world!", "hello world", "rules", 1, "pasted"});
  DictationRecord record = pastedRecord(QStringLiteral("Hello, world!"));
  record.words = {{"hello", 0.9, false}, {"world", 0.2, true}};
  rig.feedback->onRecord(record);
  rig.feedback->onState(s::Done{o::Pasted{}});
  ASSERT_EQ(rig.model.entries().size(), 1u);
  EXPECT_EQ(rig.barModel->words(),
            (std::vector<SpokenWord>{{"Hello,", std::nullopt, false}, {"world!", std::nullopt, true}}));
}

struct ReadBackCase {
  const char* name;
  bool readBack;
  std::vector<DictationRecord> records;
  QStringList calls;
};
void PrintTo(const ReadBackCase& c, std::ostream* out) { *out << c.name; }

DictationRecord withOutcome(DictationRecord record, InsertOutcome outcome) {
  record.outcome = outcome;
  return record;
}

class ReadBack : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(ReadBack, OnlyPastedTextIsSpokenAndTheNextCutsItOff) {
  const ReadBackCase& c = GetParam();
  Rig rig;
  rig.prefs->setReadBack(c.readBack);
  for (const DictationRecord& record : c.records) rig.feedback->onRecord(record);
  EXPECT_EQ(rig.speaker->calls, c.calls);
  EXPECT_EQ(rig.feedback->lastRecord(), c.records.back());
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadBack,
    ::testing::Values(
        ReadBackCase{"Pasted", true, {pastedRecord("one")}, {"stop", "say one"}},
        ReadBackCase{"Off", false, {pastedRecord("one")}, {}},
        ReadBackCase{"Copied", true, {withOutcome(pastedRecord("one"), o::CopiedNoPermission{})}, {}},
        ReadBackCase{"HeldBack", true, {withOutcome(pastedRecord("one"), o::HeldBack{FocusVerdict::notText})}, {}},
        ReadBackCase{"SecondCutsFirstOff", true, {pastedRecord("one"), pastedRecord("two")},
                     {"stop", "say one", "stop", "say two"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Partial, WordsReachTheBarOnlyWithLivePreview) {
  Rig rig;
  const std::vector<SpokenWord> words{{"hi", 0.5, false}};
  rig.prefs->setLivePreview(false);
  rig.feedback->onPartial(words);
  EXPECT_TRUE(rig.barModel->words().empty());
  rig.prefs->setLivePreview(true);
  rig.feedback->onPartial(words);
  EXPECT_EQ(rig.barModel->words(), words);
}

TEST(HandsFree, ATapStartsAndEndsItAndTheHotkeyIsIgnoredMeanwhile) {
  Rig rig;
  rig.feedback->onTap(PillPhase::of(K::resting));
  ASSERT_TRUE(rig.feedback->handsFree());
  rig.listening = true;
  rig.feedback->onHotkey(hotkey_event::Released{0.1});
  rig.feedback->onHotkey(hotkey_event::Pressed{});
  rig.feedback->onTap(PillPhase::of(K::resting));  // already listening: nothing
  rig.feedback->onTap(PillPhase::of(K::listening));
  EXPECT_FALSE(rig.feedback->handsFree());
  rig.feedback->onHotkey(hotkey_event::Pressed{});
  EXPECT_EQ(rig.handled,
            (std::vector<HotkeyEvent>{hotkey_event::Pressed{}, hotkey_event::Released{1.0}, hotkey_event::Pressed{}}));
}

TEST(HandsFree, AHotkeyDictationIsNotEndedByATap) {
  Rig rig;
  rig.listening = true;
  for (K kind : {K::resting, K::listening, K::hidden, K::working, K::done}) rig.feedback->onTap(PillPhase::of(kind));
  EXPECT_TRUE(rig.handled.empty());
  EXPECT_FALSE(rig.feedback->handsFree());
}

TEST(HandsFree, StaysOnWhenTheDictationFailsUntilTheNextTap) {
  Rig rig;
  rig.feedback->onTap(PillPhase::of(K::resting));
  rig.feedback->onState(s::Failed{"Didn't catch that."});
  rig.feedback->onHotkey(hotkey_event::Pressed{});
  EXPECT_EQ(rig.handled.size(), 1u);
  EXPECT_TRUE(rig.feedback->handsFree());
}

struct CopyCase {
  const char* name;
  std::optional<QString> lastText;
  PillPhase tapped;
  QStringList copied;
  PillPhase after;
};
void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

class ClickToCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(ClickToCopy, CopiesTheLastTextAndSaysSo) {
  const CopyCase& c = GetParam();
  Rig rig;
  rig.lastText = c.lastText;
  rig.bar->flash(c.tapped, 6.0);
  rig.feedback->onTap(c.tapped);
  EXPECT_EQ(rig.copied, c.copied);
  EXPECT_EQ(rig.bar->phase(), c.after);
  EXPECT_TRUE(rig.bar->restPending());
}

const PillPhase clickable = PillPhase::message(noTextBox, "text.badge.xmark", true);
const PillPhase copiedMessage = PillPhase::message("Copied", "checkmark", false);
const PillPhase password = PillPhase::message("Password field, so nothing was typed", "lock", false);

INSTANTIATE_TEST_SUITE_P(
    Messages, ClickToCopy,
    ::testing::Values(CopyCase{"WithLastText", QString("hello"), clickable, {"hello"}, copiedMessage},
                      CopyCase{"NothingDictatedYet", std::nullopt, clickable, {}, copiedMessage},
                      CopyCase{"NotClickable", QString("hello"), password, {}, password}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MenuCopy, CopiesWithoutTouchingTheBar) {
  Rig rig;
  rig.feedback->copyLast();
  rig.lastText = QStringLiteral("hello");
  rig.feedback->copyLast();
  EXPECT_EQ(rig.copied, QStringList{"hello"});
  EXPECT_EQ(rig.bar->phase(), hidden);
}

TEST(Fix, OpensTheCardOnlyForADictation) {
  Rig rig;
  rig.feedback->onFix();
  EXPECT_TRUE(rig.fixCards.empty());
  rig.feedback->onRecord(pastedRecord(QStringLiteral("hello there")));
  rig.bar->flash(PillPhase::of(K::done), 4.0);
  rig.feedback->onFix();
  ASSERT_EQ(rig.fixCards.size(), 1u);
  EXPECT_EQ(rig.fixCards[0].size(), 2u);
  EXPECT_EQ(rig.bar->phase(), hidden);
}

TEST(Teach, SavesTheFixShowsItAndLogsIt) {
  Rig rig;
  rig.feedback->onTeach(QStringLiteral("talvo"), QStringLiteral("Talvo"));
  const UserDictionary saved = UserDictionary::load(rig.dir.filePath("dictionary.json"));
  EXPECT_EQ(saved.fixes, (std::vector<UserDictionary::Fix>{{"talvo", "Talvo"}}));
  EXPECT_EQ(rig.model.dictionary(), saved);
  EXPECT_EQ(rig.log.messages(), QStringList{"taught: talvo -> Talvo"});
}

TEST(Teach, AFailedSaveIsLoggedAndTheModelStillShowsTheFix) {
  Rig rig;
  QDir(rig.dir.path()).mkdir("dictionary.json");  // a folder where the file should be
  rig.feedback->onTeach(QStringLiteral("talvo"), QStringLiteral("Talvo"));
  EXPECT_EQ(rig.model.dictionary().fixes.size(), 1u);
  const QStringList lines = rig.log.messages();
  ASSERT_GE(lines.size(), 2) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[lines.size() - 2].startsWith("dictionary save failed: ")) << lines.join('\n').toStdString();
  EXPECT_EQ(lines.back(), "taught: talvo -> Talvo");
}

struct WordsCase {
  const char* name;
  QString text;
  std::vector<SpokenWord> raw;
  std::vector<SpokenWord> shown;
};
void PrintTo(const WordsCase& c, std::ostream* out) { *out << c.name; }

class DisplayWords : public ::testing::TestWithParam<WordsCase> {};

TEST_P(DisplayWords, CarryTheRecognisersDoubt) {
  const WordsCase& c = GetParam();
  DictationRecord record = pastedRecord(c.text);
  record.words = c.raw;
  EXPECT_EQ(displayWords(record), c.shown);
}

const std::optional<double> none;

INSTANTIATE_TEST_SUITE_P(
    Records, DisplayWords,
    ::testing::Values(
        WordsCase{"PunctuationAndCaseSetAside", "Send it!", {{"send", 0.9, false}, {"it", 0.2, true}},
                  {{"Send", none, false}, {"it!", none, true}}},
        WordsCase{"ChangedWordShowsSure", "Talvo rocks", {{"tall", 0.2, true}, {"vo", 0.2, true}, {"rocks", 0.9, false}},
                  {{"Talvo", none, false}, {"rocks", none, false}}},
        WordsCase{"EveryOccurrenceOfADoubtedWord", "so so", {{"so", 0.9, false}, {"so", 0.1, true}},
                  {{"so", none, true}, {"so", none, true}}},
        WordsCase{"WhiteSpaceRunsAndLineBreaks", "  a\n\tb  ", {}, {{"a", none, false}, {"b", none, false}}},
        WordsCase{"EmptyText", "", {{"x", 0.1, true}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
