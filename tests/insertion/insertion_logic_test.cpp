#include "insertion/clipboard.h"
#include "insertion/focus_classify.h"
#include "insertion/paste_inserter.h"
#include "insertion/paste_keys.h"
#include "insertion/screen_rect.h"
#include "support/task_runner.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using namespace insert_outcome;

// An in-memory clipboard that counts every change, as a system clipboard does.
class FakeClipboard final : public Clipboard {
public:
  std::vector<ClipboardItem> contents;
  uint64_t changes = 0;

  std::vector<ClipboardItem> items() override { return contents; }
  void clear() override { contents.clear(), ++changes; }
  void write(const std::vector<ClipboardItem>& items) override {
    contents.insert(contents.end(), items.begin(), items.end());
    ++changes;
  }
  uint64_t changeCount() override { return changes; }

  // Someone else copies something.
  void copyFromElsewhere(const std::vector<ClipboardItem>& items) { contents = items, ++changes; }
};

struct ClassifyCase {
  std::optional<QString> role;
  bool valueSettable, selectedTextSettable, hasSelectionRange;
  FocusVerdict expected;
};

class Classify : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(Classify, KnownRolesDecideBeforeTheFlags) {
  const ClassifyCase& c = GetParam();
  EXPECT_EQ(classifyFocus(c.role, c.valueSettable, c.selectedTextSettable, c.hasSelectionRange),
            c.expected)
      << qPrintable(c.role.value_or("<none>"));
}

INSTANTIATE_TEST_SUITE_P(
    Roles, Classify,
    ::testing::Values(ClassifyCase{"text", false, false, false, FocusVerdict::text},
                      ClassifyCase{"terminal", false, false, false, FocusVerdict::text},
                      ClassifyCase{"push button", true, true, true, FocusVerdict::notText},
                      ClassifyCase{"table cell", true, false, false, FocusVerdict::notText},
                      ClassifyCase{"document web", false, true, false, FocusVerdict::text},
                      ClassifyCase{"document web", true, false, false, FocusVerdict::text},
                      ClassifyCase{"document web", false, false, false, FocusVerdict::notText},
                      ClassifyCase{std::nullopt, false, false, true, FocusVerdict::text},
                      ClassifyCase{std::nullopt, false, false, false, FocusVerdict::notText},
                      // Names compare exactly: these are unknown roles, left to the flags.
                      ClassifyCase{"Push Button", false, false, false, FocusVerdict::notText},
                      ClassifyCase{"Text", true, false, false, FocusVerdict::text}));

struct CaretCase {
  const char* name;
  std::optional<ScreenRect> caret, frame, expected;
};
void PrintTo(const CaretCase& c, std::ostream* out) { *out << c.name; }

const ScreenRect frame{50, 60, 200, 24};

class CaretRules : public ::testing::TestWithParam<CaretCase> {};

TEST_P(CaretRules, ChooseTheCaretOrTheFrame) {
  EXPECT_EQ(caret_rules::choose(GetParam().caret, GetParam().frame), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, CaretRules,
    ::testing::Values(
        CaretCase{"Caret", ScreenRect{70, 64, 0, 16}, frame, ScreenRect{70, 64, 0, 16}},
        CaretCase{"NoCaret", std::nullopt, frame, frame},
        CaretCase{"SliverOf2", ScreenRect{10, 10, 0, 2.0}, frame, frame},
        CaretCase{"JustAboveASliver", ScreenRect{10, 10, 0, 2.5}, frame,
                  ScreenRect{10, 10, 0, 2.5}},
        CaretCase{"AtTheOrigin", ScreenRect{0, 0, 0, 16}, frame, frame},
        CaretCase{"OnTheLeftEdge", ScreenRect{0, 5, 0, 16}, frame, ScreenRect{0, 5, 0, 16}},
        CaretCase{"TallCaret", ScreenRect{10, 10, 0, 200}, frame, frame},
        CaretCase{"FrameOf120", std::nullopt, ScreenRect{10, 10, 300, 120}, std::nullopt},
        CaretCase{"FrameOf119", std::nullopt, ScreenRect{10, 10, 300, 119},
                  ScreenRect{10, 10, 300, 119}},
        CaretCase{"FlatFrame", std::nullopt, ScreenRect{10, 10, 300, 0}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaretRules, CaretAtTheEndSitsOnTheLastCharactersRightEdge) {
  ScreenRect last{100, 40, 8, 16};
  EXPECT_EQ(caret_rules::caretFromCharacter(last, true), (ScreenRect{108, 40, 0, 16}));
  EXPECT_EQ(caret_rules::caretFromCharacter(last, false), (ScreenRect{100, 40, 0, 16}));
}

TEST(ClipboardSnapshot, KeepsOnlyTheTypesThatHoldData) {
  FakeClipboard clipboard;
  clipboard.contents = {{{"TARGETS", "x"},
                         {"TIMESTAMP", "1"},
                         {"UTF8_STRING", "a"},
                         {"", ""},
                         {"text/html", "<b>a</b>"},
                         {"text/plain;charset=utf-8", "a"},
                         {"x-kde-passwordManagerHint", "secret"}}};
  EXPECT_EQ(ClipboardSnapshot::take(clipboard).items,
            (std::vector<ClipboardItem>{{{"text/html", "<b>a</b>"},
                                         {"text/plain;charset=utf-8", "a"},
                                         {"x-kde-passwordManagerHint", "secret"}}}));
}

TEST(PasteKeys, FollowTheFocusedWindow) {
  EXPECT_EQ(choosePasteKeys("xterm", "XTerm", ""), PasteKeys::shiftInsert);
  EXPECT_EQ(choosePasteKeys("gnome-terminal-server", "Gnome-terminal", ""), PasteKeys::ctrlShiftV);
  EXPECT_EQ(choosePasteKeys("someapp", "SomeApp", "terminal"), PasteKeys::ctrlShiftV);
  EXPECT_EQ(choosePasteKeys("firefox", "firefox", "entry"), PasteKeys::ctrlV);
  EXPECT_EQ(choosePasteKeys("", "org.gnome.Console", ""), PasteKeys::ctrlShiftV);  // an app id
}

class ScriptedProbe final : public FocusProbe {
public:
  FocusVerdict answer = FocusVerdict::text;
  FocusVerdict verdict() override { return answer; }
};

constexpr double restoreDelay = 0.05;

// Runs the event loop until every timer due within the restore delay has fired: Qt fires
// due timers in the order of their deadlines, so a later one marks the moment.
void pastTheRestoreDelay() {
  bool passed = false;
  QTimer::singleShot(std::chrono::milliseconds(int(restoreDelay * 1000) + 20),
                     [&] { passed = true; });
  ASSERT_TRUE(test::spinUntil([&] { return passed; }));
}

struct InserterRig {
  std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
  std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
  bool trusted = true;
  std::vector<std::vector<ClipboardItem>> seenAtPaste;

  std::unique_ptr<PasteInserter> make() {
    return std::make_unique<PasteInserter>(
        probe, clipboard, restoreDelay, [this] { return trusted; },
        [this] { seenAtPaste.push_back(clipboard->contents); });
  }
};

const std::vector<ClipboardItem> rich = {{{"text/plain", "old"},
                                          {"text/html", "<i>old</i>"},
                                          {"image/png", QByteArray("\x89PNG\r\n\0", 7)}}};
const std::vector<ClipboardItem> theirs = {{{"text/plain", "copied meanwhile"}}};

TEST(PasteInserter, HeldBackTextLeavesTheClipboardAlone) {
  for (FocusVerdict v : {FocusVerdict::notText, FocusVerdict::secureInput, FocusVerdict::ownApp}) {
    InserterRig rig;
    rig.probe->answer = v;
    EXPECT_EQ(rig.make()->insert(QStringLiteral("hello")), InsertOutcome(HeldBack{v}));
    EXPECT_EQ(rig.clipboard->changes, 0u);
  }
}

TEST(PasteInserter, OwnAppGoesToItsHandler) {
  InserterRig rig;
  rig.probe->answer = FocusVerdict::ownApp;
  auto inserter = rig.make();
  QString got;
  inserter->ownAppHandler = [&](const QString& t) { return (got = t), true; };
  EXPECT_EQ(inserter->insert(QStringLiteral("ünï 🎤")), InsertOutcome(Pasted{}));
  EXPECT_EQ(got, QStringLiteral("ünï 🎤"));
  inserter->ownAppHandler = [](const QString&) { return false; };
  EXPECT_EQ(inserter->insert(QStringLiteral("hi")), InsertOutcome(HeldBack{FocusVerdict::ownApp}));
  EXPECT_EQ(rig.clipboard->changes, 0u);
}

TEST(PasteInserter, UntrustedLeavesExactlyThePlainText) {
  InserterRig rig;
  rig.trusted = false;
  rig.probe->answer = FocusVerdict::unknown;
  rig.clipboard->contents = rich;
  EXPECT_EQ(rig.make()->insert(QStringLiteral("äöü 🎤")), InsertOutcome(CopiedNoPermission{}));
  pastTheRestoreDelay();
  EXPECT_EQ(rig.clipboard->contents,
            (std::vector<ClipboardItem>{{{"text/plain", QStringLiteral("äöü 🎤").toUtf8()}}}));
  EXPECT_TRUE(rig.seenAtPaste.empty());
}

TEST(PasteInserter, PastesTheTextWithMarkersEvenIntoAnUnknownFocus) {
  for (FocusVerdict v : {FocusVerdict::text, FocusVerdict::unknown}) {
    InserterRig rig;
    rig.probe->answer = v;
    EXPECT_EQ(rig.make()->insert(QStringLiteral("new words")), InsertOutcome(Pasted{}));
    EXPECT_EQ(
        rig.seenAtPaste,
        (std::vector<std::vector<ClipboardItem>>{{{{"text/plain", "new words"},
                                                   {"org.nspasteboard.TransientType", ""},
                                                   {"org.nspasteboard.AutoGeneratedType", ""},
                                                   {"x-kde-passwordManagerHint", "secret"}}}}));
  }
}

// What the clipboard holds once the restores are due, after pastes ('p') and copies by
// someone else ('c'). The inserter is gone by then; its restores are not.
struct RestoreCase {
  const char* name;
  std::vector<ClipboardItem> before;
  std::string script;
  std::vector<ClipboardItem> after;
};
void PrintTo(const RestoreCase& c, std::ostream* out) { *out << c.name; }

class Restore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, PutsBackTheNewestContentsOfTheUser) {
  InserterRig rig;
  rig.clipboard->contents = GetParam().before;
  auto inserter = rig.make();
  for (char step : GetParam().script)
    if (step == 'p')
      EXPECT_EQ(inserter->insert(QStringLiteral("words")), InsertOutcome(Pasted{}));
    else
      rig.clipboard->copyFromElsewhere(theirs);
  inserter.reset();
  pastTheRestoreDelay();
  EXPECT_EQ(rig.clipboard->contents, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Clipboards, Restore,
    ::testing::Values(RestoreCase{"TheUsersClipboardComesBack", rich, "p", rich},
                      RestoreCase{"AnEmptyClipboardComesBackEmpty", {}, "p", {}},
                      RestoreCase{"ANewerCopyIsLeftAlone", rich, "pc", theirs},
                      RestoreCase{"TwoPastesInsideTheDelayRestoreTheUsers", rich, "pp", rich},
                      RestoreCase{"ACopyBetweenPastesIsWhatComesBack", rich, "pcp", theirs}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
