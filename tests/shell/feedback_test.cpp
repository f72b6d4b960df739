// The dictation feedback over the real bar logic and model: controller states and outcomes
// in; sounds, bar phases, the status line, read-back, copies and the fix card out.
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

struct NoDesktop final : BarDesktop {
  std::vector<pill_geometry::ScreenArea> screens() override {
    return {{{0, 0, 1280, 800}, {0, 0, 1280, 770}}};
  }
  std::optional<QPointF> pointer() override { return std::nullopt; }
  std::optional<QRectF> caret() override { return std::nullopt; }
  std::optional<QImage> activeAppIcon() override { return std::nullopt; }
  void showPanel(const QRectF&, bool) override {}
  void hidePanel() override {}
  void setClickHandlers(std::function<void()>, std::function<void()>) override {}
};

// Sounds played; read-back as "stop" and "say <text>" in call order.
struct Recording final : SoundPlayer, Speaker {
  std::vector<Sound> played;
  QStringList spoken;
  void play(Sound sound) override { played.push_back(sound); }
  void stop() override { spoken << "stop"; }
  void say(const QString& text) override { spoken << "say " + text; }
};

struct Rig {
  test::LogCapture log;
  QTemporaryDir dir;
  std::shared_ptr<Preferences> prefs = std::make_shared<Preferences>(
      std::make_shared<MemorySettingsStore>(), std::make_shared<test::MemoryLoginItem>());
  std::shared_ptr<History> history = std::make_shared<History>(dir.filePath("history.jsonl"), 500);
  AppModel model{prefs, history, std::make_shared<test::AllowingFacts>(),
                 dir.filePath("dictionary.json")};
  std::shared_ptr<PillController> bar = std::make_shared<PillController>(
      std::make_shared<PillModel>(), std::make_shared<NoDesktop>());
  std::shared_ptr<Recording> out = std::make_shared<Recording>();
  bool listening = false, setupShown = false;
  std::optional<QString> lastText;
  std::vector<HotkeyEvent> handled;
  QStringList copied;
  std::vector<std::vector<SpokenWord>> fixCards;
  DictationFeedback feedback{
      {.prefs = prefs,
       .model = &model,
       .bar = bar,
       .sounds = out,
       .speaker = out,
       .dictation = {[this] { return listening; }, [this] { return lastText; },
                     [this](const HotkeyEvent& e) { handled.push_back(e); }},
       .copyText = [this](const QString& text) { copied << text; },
       .setupVisible = [this] { return setupShown; },
       .openFixCard = [this](const std::vector<SpokenWord>& words) { fixCards.push_back(words); },
       .dictionaryPath = dir.filePath("dictionary.json")}};
};

DictationRecord record(const QString& text, InsertOutcome outcome = o::Pasted{}) {
  DictationRecord r;
  r.raw = r.text = text;
  r.outcome = outcome;
  r.words = {{text, 0.9, false}};
  return r;
}

enum class Before { dictated, dictatedIntoSetUp, nothing, soundsOff };

struct StateCase {
  const char* name;
  DictationState state;
  std::vector<Sound> sounds;
  PillPhase phase;
  bool restPending;  // the bar returns to rest by itself later
  QString status;
  Before before = Before::dictated;
};
void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }

class StateFeedback : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateFeedback, SoundsBarAndStatus) {
  const StateCase& c = GetParam();
  Rig rig;
  rig.model.setStatus("before");
  rig.prefs->setSounds(c.before != Before::soundsOff);
  rig.setupShown = c.before == Before::dictatedIntoSetUp;
  if (c.before != Before::nothing) rig.feedback.onRecord(record("hello"));
  rig.history->append({1, "hello", "hello", "rules", 1, "pasted"});
  rig.bar->listen();  // every state but idle follows a press
  rig.feedback.onState(c.state);
  EXPECT_EQ(rig.out->played, c.sounds);
  EXPECT_EQ(rig.bar->phase(), c.phase);
  EXPECT_EQ(rig.bar->restPending(), c.restPending);
  EXPECT_EQ(rig.bar->meterRunning(), c.phase.is(K::listening));
  EXPECT_EQ(rig.bar->model()->locked(), std::holds_alternative<s::Locked>(c.state));
  EXPECT_EQ(rig.model.status(), c.status);
  EXPECT_EQ(rig.model.entries().size(), std::holds_alternative<s::Done>(c.state) ? 1u : 0u)
      << "the windows' list";
}

const PillPhase hidden = PillPhase::of(K::hidden), listening = PillPhase::of(K::listening);
const PillPhase noTextBox =
    PillPhase::message("No text box selected · Click to copy", "text.badge.xmark", true);
const PillPhase password =
    PillPhase::message("Password field, so nothing was typed", "lock", false);
const QString noTextBoxStatus = QStringLiteral("No text box was selected. It's in History.");

INSTANTIATE_TEST_SUITE_P(
    States, StateFeedback,
    ::testing::Values(
        StateCase{"Idle", s::Idle{}, {}, hidden, false, "before"},
        StateCase{"Listening", s::Listening{}, {Sound::tink}, listening, false, "before"},
        StateCase{
            "ListeningQuiet", s::Listening{}, {}, listening, false, "before", Before::soundsOff},
        StateCase{"Locked", s::Locked{}, {Sound::tink}, listening, false, "before"},
        StateCase{
            "Working", s::Working{}, {Sound::pop}, PillPhase::of(K::working), false, "before"},
        StateCase{"Discarded", s::Discarded{AbortReason::combo}, {}, hidden, false, "before"},
        StateCase{"Failed",
                  s::Failed{"Didn't catch that."},
                  {},
                  PillPhase::message("Didn't catch that.", "exclamationmark.triangle", false),
                  true,
                  "Didn't catch that."},
        StateCase{"Pasted", s::Done{o::Pasted{}}, {}, PillPhase::of(K::done), true, "Ready."},
        StateCase{"PastedIntoSetUp",
                  s::Done{o::Pasted{}},
                  {},
                  hidden,
                  false,
                  "Ready.",
                  Before::dictatedIntoSetUp},
        StateCase{"PastedWithoutRecord",
                  s::Done{o::Pasted{}},
                  {},
                  hidden,
                  false,
                  "Ready.",
                  Before::nothing},
        StateCase{"CopiedNoPermission",
                  s::Done{o::CopiedNoPermission{}},
                  {},
                  PillPhase::message("Copied. Press Ctrl+V to paste", "doc.on.clipboard", false),
                  true,
                  "Copied. Typing for you is off on this desktop, so press Ctrl+V to paste."},
        StateCase{"PasswordField",
                  s::Done{o::HeldBack{FocusVerdict::secureInput}},
                  {},
                  password,
                  true,
                  "before"},
        StateCase{
            "OwnApp", s::Done{o::HeldBack{FocusVerdict::ownApp}}, {}, hidden, false, "before"},
        StateCase{"NotText",
                  s::Done{o::HeldBack{FocusVerdict::notText}},
                  {},
                  noTextBox,
                  true,
                  noTextBoxStatus},
        StateCase{"UnknownFocus",
                  s::Done{o::HeldBack{FocusVerdict::unknown}},
                  {},
                  noTextBox,
                  true,
                  noTextBoxStatus}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadBack, OnlyPastedTextIsSpokenAndTheNextCutsItOff) {
  const struct {
    bool readBack;
    std::vector<DictationRecord> records;
    QStringList calls;
  } cases[] = {{false, {record("one")}, {}},
               {true, {record("one", o::CopiedNoPermission{})}, {}},
               {true, {record("one", o::HeldBack{FocusVerdict::notText})}, {}},
               {true, {record("one"), record("two")}, {"stop", "say one", "stop", "say two"}}};
  for (const auto& c : cases) {
    Rig rig;
    rig.prefs->setReadBack(c.readBack);
    for (const DictationRecord& r : c.records) rig.feedback.onRecord(r);
    EXPECT_EQ(rig.out->spoken, c.calls) << c.records.front().text.toStdString();
  }
}

TEST(HandsFree, ATapStartsAndEndsItAndTheHotkeyIsIgnoredMeanwhile) {
  Rig rig;
  rig.listening = true;
  rig.feedback.onTap(listening);  // the hotkey's dictation: a tap does not end it
  rig.listening = false;
  rig.feedback.onTap(PillPhase::of(K::resting));
  rig.listening = true;
  rig.feedback.onHotkey(hotkey_event::Released{0.1});
  rig.feedback.onTap(PillPhase::of(K::resting));
  rig.feedback.onTap(listening);
  rig.feedback.onHotkey(hotkey_event::Pressed{});
  EXPECT_EQ(rig.handled,
            (std::vector<HotkeyEvent>{hotkey_event::Pressed{}, hotkey_event::Released{1.0},
                                      hotkey_event::Pressed{}}));
}

// Each step: whether a dictation listens at that moment, then the command.
TEST(Remote, ToggleAndHoldDriveTheDictationAndAStuckHoldEndsAtTheNextPress) {
  using R = RemoteCommand;
  namespace h = hotkey_event;
  const struct {
    const char* name;
    std::vector<std::pair<bool, R>> steps;
    std::vector<HotkeyEvent> handled;
  } cases[] = {
      {"toggle twice", {{false, R::toggle}, {true, R::toggle}}, {h::Pressed{}, h::Released{1.0}}},
      {"press, press", {{false, R::press}, {true, R::press}}, {h::Pressed{}, h::Released{1.0}}},
      {"a tap-short hold",
       {{false, R::press}, {true, R::release}},
       {h::Pressed{}, h::Aborted{AbortReason::tooShort}}},
      {"release alone", {{false, R::release}, {true, R::release}}, {}},
      {"cancel",
       {{false, R::cancel}, {false, R::toggle}, {true, R::cancel}},
       {h::Pressed{}, h::Aborted{AbortReason::cancelled}}},
  };
  for (const auto& c : cases) {
    Rig rig;
    for (const auto& [listening, command] : c.steps) {
      rig.listening = listening;
      rig.feedback.onRemote(command);
    }
    EXPECT_EQ(rig.handled, c.handled) << c.name;
  }
}

TEST(HandsFree, AStartThatFailedLeavesTheHotkeyWorking) {
  Rig rig;
  rig.feedback.onRemote(RemoteCommand::toggle);
  rig.feedback.onHotkey(hotkey_event::Released{0.5});  // ignored: the toggle ends it
  rig.feedback.onState(s::Failed{"No microphone found."});
  rig.feedback.onHotkey(hotkey_event::Pressed{});
  EXPECT_EQ(rig.handled,
            (std::vector<HotkeyEvent>{hotkey_event::Pressed{}, hotkey_event::Pressed{}}));
}

TEST(ClickToCopy, OnlyTheClickableMessageCopiesTheLastText) {
  const struct {
    PillPhase tapped;
    QStringList copied;
    PillPhase after;
  } cases[] = {{password, {}, password},
               {noTextBox, {"hello"}, PillPhase::message("Copied", "checkmark", false)}};
  for (const auto& [tapped, copied, after] : cases) {
    Rig rig;
    rig.lastText = "hello";
    rig.bar->flash(tapped, 6.0);
    rig.feedback.onTap(tapped);
    EXPECT_EQ(rig.copied, copied);
    EXPECT_EQ(rig.bar->phase(), after);
  }
}

TEST(Fix, OpensTheCardOnlyForADictation) {
  Rig rig;
  rig.feedback.onFix();
  EXPECT_TRUE(rig.fixCards.empty());
  rig.feedback.onRecord(record("hello there"));
  rig.bar->flash(PillPhase::of(K::done), 4.0);
  rig.feedback.onFix();
  EXPECT_EQ(rig.fixCards,
            (std::vector<std::vector<SpokenWord>>{{{"hello", {}, false}, {"there", {}, false}}}));
  EXPECT_EQ(rig.bar->phase(), hidden);
}

TEST(Teach, TheFixIsShownEvenWhenItCannotBeSaved) {
  for (bool blocked : {false, true}) {
    Rig rig;
    if (blocked)
      QDir(rig.dir.path()).mkdir("dictionary.json");  // a folder where the file should be
    rig.feedback.onTeach("talvo", "Talvo");
    EXPECT_EQ(rig.model.dictionary().fixes, (std::vector<UserDictionary::Fix>{{"talvo", "Talvo"}}));
    EXPECT_EQ(UserDictionary::load(rig.dir.filePath("dictionary.json")).fixes.size(),
              blocked ? 0u : 1u);
  }
}

TEST(DisplayWords, CarryTheRecognisersDoubt) {
  const struct {
    QString text;
    std::vector<SpokenWord> raw, shown;
  } cases[] = {
      {"Send it!",
       {{"send", 0.9, false}, {"it", 0.2, true}},
       {{"Send", {}, false}, {"it!", {}, true}}},
      {"Talvo rocks",
       {{"tall", 0.2, true}, {"rocks", 0.9, false}},
       {{"Talvo", {}, false}, {"rocks", {}, false}}},
      {"so so", {{"so", 0.9, false}, {"so", 0.1, true}}, {{"so", {}, true}, {"so", {}, true}}},
      {"  a\n\tb  ", {}, {{"a", {}, false}, {"b", {}, false}}}};
  for (const auto& c : cases) {
    DictationRecord r = record(c.text);
    r.words = c.raw;
    EXPECT_EQ(displayWords(r), c.shown) << c.text.toStdString();
  }
}

}  // namespace
}  // namespace talvo
