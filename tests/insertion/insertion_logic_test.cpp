#include "insertion/atspi_focus_probe.h"
#include "insertion/clipboard.h"
#include "insertion/focus_classify.h"
#include "insertion/paste_inserter.h"
#include "insertion/paste_keys.h"
#include "insertion/screen_rect.h"
#include "insertion/fake_clipboard.h"
#include "support/task_runner.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

using namespace insert_outcome;
using test::FakeClipboard;

// ---- classify

TEST(Classify, RolesDecideBeforeFlags) {
  EXPECT_EQ(classifyFocus(QStringLiteral("text"), false, false, false), FocusVerdict::text);
  EXPECT_EQ(classifyFocus(QStringLiteral("terminal"), false, false, false), FocusVerdict::text);
  EXPECT_EQ(classifyFocus(QStringLiteral("push button"), true, true, true), FocusVerdict::notText);
  EXPECT_EQ(classifyFocus(QStringLiteral("table cell"), true, false, false), FocusVerdict::notText);
}

TEST(Classify, UnknownRolesFallToTheFlags) {
  const QString odd = QStringLiteral("document web");
  EXPECT_EQ(classifyFocus(odd, false, true, false), FocusVerdict::text);
  EXPECT_EQ(classifyFocus(odd, true, false, false), FocusVerdict::text);
  EXPECT_EQ(classifyFocus(odd, false, false, false), FocusVerdict::notText);
  EXPECT_EQ(classifyFocus(std::nullopt, false, false, true), FocusVerdict::text);
  EXPECT_EQ(classifyFocus(std::nullopt, false, false, false), FocusVerdict::notText);
}

TEST(Classify, RoleNamesAreExact) {
  EXPECT_EQ(classifyFocus(QStringLiteral("Push Button"), false, false, false), FocusVerdict::notText);
  EXPECT_EQ(classifyFocus(QStringLiteral("Text"), true, false, false), FocusVerdict::text);
  EXPECT_FALSE(isTextRole(u"Text"));
  EXPECT_EQ(AtspiFocusProbe::classify(QStringLiteral("entry"), false, false, false), FocusVerdict::text);
}

// ---- caret rules

TEST(CaretRules, SliversAndTheOriginAreRefused) {
  using namespace caret_rules;
  EXPECT_FALSE(acceptCaret({10, 10, 0, 2.0}));
  EXPECT_TRUE(acceptCaret({10, 10, 0, 2.5}));
  EXPECT_FALSE(acceptCaret({0, 0, 0, 16}));
  EXPECT_TRUE(acceptCaret({0, 5, 0, 16}));
  EXPECT_FALSE(acceptCaret({10, 10, 0, 200}));
  EXPECT_FALSE(acceptFrame({10, 10, 300, 120}));
  EXPECT_TRUE(acceptFrame({10, 10, 300, 119}));
  EXPECT_FALSE(acceptFrame({10, 10, 300, 0}));
}

TEST(CaretRules, FallsBackToTheFrame) {
  using namespace caret_rules;
  ScreenRect frame{50, 60, 200, 24};
  EXPECT_EQ(choose(ScreenRect{0, 0, 0, 0}, frame), frame);
  EXPECT_EQ(choose(std::nullopt, frame), frame);
  EXPECT_EQ(choose(ScreenRect{70, 64, 0, 16}, frame), (ScreenRect{70, 64, 0, 16}));
  EXPECT_EQ(choose(std::nullopt, ScreenRect{50, 60, 200, 300}), std::nullopt);
}

TEST(CaretRules, CaretAtTheEndSitsOnTheLastCharactersRightEdge) {
  ScreenRect last{100, 40, 8, 16};
  EXPECT_EQ(caret_rules::caretFromCharacter(last, true), (ScreenRect{108, 40, 0, 16}));
  EXPECT_EQ(caret_rules::caretFromCharacter(last, false), (ScreenRect{100, 40, 0, 16}));
}

// ---- clipboard snapshot

TEST(ClipboardSnapshot, LeavesOutPseudoTargets) {
  using clipboard_types::isPseudoTarget;
  for (const char* t : {"TARGETS", "TIMESTAMP", "MULTIPLE", "UTF8_STRING", "SAVE_TARGETS", ""})
    EXPECT_TRUE(isPseudoTarget(QString::fromLatin1(t))) << t;
  for (const char* t : {"text/plain", "text/html", "image/png", "x-kde-passwordManagerHint",
                        "org.nspasteboard.TransientType", "text/plain;charset=utf-8"})
    EXPECT_FALSE(isPseudoTarget(QString::fromLatin1(t))) << t;

  FakeClipboard clipboard;
  clipboard.contents = {{{"TARGETS", "x"}, {"text/html", "<b>a</b>"}, {"text/plain", "a"}}};
  ClipboardSnapshot snapshot = ClipboardSnapshot::take(clipboard);
  ASSERT_EQ(snapshot.items.size(), 1u);
  EXPECT_EQ(snapshot.items[0], (ClipboardItem{{"text/html", "<b>a</b>"}, {"text/plain", "a"}}));
}

TEST(ClipboardSnapshot, RestoresEveryItemAndLeavesEmptyEmpty) {
  FakeClipboard clipboard;
  std::vector<ClipboardItem> two = {{{"text/plain", "a"}}, {{"image/png", QByteArray("\x89PNG\0", 5)}}};
  clipboard.contents = two;
  ClipboardSnapshot snapshot = ClipboardSnapshot::take(clipboard);
  clipboard.contents = {{{"text/plain", "other"}}};
  snapshot.restore(clipboard);
  EXPECT_EQ(clipboard.contents, two);

  FakeClipboard empty;
  ClipboardSnapshot nothing = ClipboardSnapshot::take(empty);
  empty.contents = {{{"text/plain", "x"}}};
  nothing.restore(empty);
  EXPECT_TRUE(empty.contents.empty());
  EXPECT_EQ(empty.writes, 0);
}

// ---- paste keys

TEST(PasteKeys, TerminalsGetTheirOwnKeys) {
  EXPECT_EQ(choosePasteKeys("xterm", "XTerm", ""), PasteKeys::shiftInsert);
  EXPECT_EQ(choosePasteKeys("urxvt", "URxvt", ""), PasteKeys::shiftInsert);
  EXPECT_EQ(choosePasteKeys("gnome-terminal-server", "Gnome-terminal", ""), PasteKeys::ctrlShiftV);
  EXPECT_EQ(choosePasteKeys("konsole", "konsole", ""), PasteKeys::ctrlShiftV);
  EXPECT_EQ(choosePasteKeys("someapp", "SomeApp", "terminal"), PasteKeys::ctrlShiftV);
  EXPECT_EQ(choosePasteKeys("firefox", "firefox", "entry"), PasteKeys::ctrlV);
  EXPECT_EQ(choosePasteKeys("", "", ""), PasteKeys::ctrlV);
}

// ---- paste inserter

class ScriptedProbe final : public FocusProbe {
public:
  FocusVerdict answer = FocusVerdict::text;
  int asked = 0;
  FocusVerdict verdict() override {
    ++asked;
    return answer;
  }
};

struct InserterRig {
  std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
  std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
  bool trusted = true;
  int pastes = 0;
  std::vector<std::vector<ClipboardItem>> seenAtPaste;
  double delay = 0.05;

  std::unique_ptr<PasteInserter> make() {
    return std::make_unique<PasteInserter>(
        probe, clipboard, delay, [this] { return trusted; },
        [this] {
          ++pastes;
          seenAtPaste.push_back(clipboard->contents);
        });
  }
};

const std::vector<ClipboardItem> rich = {
    {{"text/plain", "old"}, {"text/html", "<i>old</i>"}, {"image/png", QByteArray("\x89PNG\r\n\0", 7)}}};

TEST(PasteInserter, HeldBackVerdictsLeaveTheClipboardAlone) {
  for (FocusVerdict v : {FocusVerdict::notText, FocusVerdict::secureInput}) {
    InserterRig rig;
    rig.probe->answer = v;
    rig.clipboard->contents = rich;
    auto inserter = rig.make();
    EXPECT_EQ(inserter->insert(QStringLiteral("hello")), InsertOutcome(HeldBack{v}));
    EXPECT_EQ(rig.clipboard->contents, rich);
    EXPECT_EQ(rig.clipboard->changes, 0u);
    EXPECT_EQ(rig.pastes, 0);
  }
}

TEST(PasteInserter, OwnAppGoesToTheHandlerOrIsHeldBack) {
  InserterRig rig;
  rig.probe->answer = FocusVerdict::ownApp;
  auto inserter = rig.make();
  EXPECT_EQ(inserter->insert(QStringLiteral("hi")), InsertOutcome(HeldBack{FocusVerdict::ownApp}));
  QString got;
  inserter->ownAppHandler = [&](const QString& t) {
    got = t;
    return true;
  };
  EXPECT_EQ(inserter->insert(QStringLiteral("ünï 🎤")), InsertOutcome(Pasted{}));
  EXPECT_EQ(got, QStringLiteral("ünï 🎤"));
  inserter->ownAppHandler = [](const QString&) { return false; };
  EXPECT_EQ(inserter->insert(QStringLiteral("hi")), InsertOutcome(HeldBack{FocusVerdict::ownApp}));
  EXPECT_EQ(rig.clipboard->changes, 0u);
  EXPECT_EQ(rig.pastes, 0);
}

TEST(PasteInserter, UntrustedLeavesExactlyThePlainText) {
  InserterRig rig;
  rig.trusted = false;
  rig.probe->answer = FocusVerdict::unknown;
  rig.clipboard->contents = rich;
  auto inserter = rig.make();
  EXPECT_EQ(inserter->insert(QStringLiteral("äöü 🎤")), InsertOutcome(CopiedNoPermission{}));
  EXPECT_EQ(rig.clipboard->contents,
            (std::vector<ClipboardItem>{{{"text/plain", QStringLiteral("äöü 🎤").toUtf8()}}}));
  EXPECT_EQ(rig.pastes, 0);
  test::spinFor(0.15);
  EXPECT_EQ(rig.clipboard->contents.size(), 1u);  // nothing restored
}

TEST(PasteInserter, PastesWithMarkersThenRestores) {
  InserterRig rig;
  rig.clipboard->contents = rich;
  auto inserter = rig.make();
  EXPECT_EQ(inserter->insert(QStringLiteral("new words")), InsertOutcome(Pasted{}));
  ASSERT_EQ(rig.pastes, 1);
  ASSERT_EQ(rig.seenAtPaste[0].size(), 1u);
  EXPECT_EQ(rig.seenAtPaste[0][0], (ClipboardItem{{"text/plain", "new words"},
                                                  {"org.nspasteboard.TransientType", ""},
                                                  {"org.nspasteboard.AutoGeneratedType", ""},
                                                  {"x-kde-passwordManagerHint", "secret"}}));
  EXPECT_TRUE(test::spinUntil([&] { return rig.clipboard->contents == rich; }, 2.0));
}

TEST(PasteInserter, UnknownStillPastes) {
  InserterRig rig;
  rig.probe->answer = FocusVerdict::unknown;
  auto inserter = rig.make();
  EXPECT_EQ(inserter->insert(QStringLiteral("x")), InsertOutcome(Pasted{}));
  EXPECT_EQ(rig.pastes, 1);
}

TEST(PasteInserter, ANewerCopyIsNotOverwritten) {
  InserterRig rig;
  rig.clipboard->contents = rich;
  auto inserter = rig.make();
  inserter->insert(QStringLiteral("new words"));
  std::vector<ClipboardItem> theirs = {{{"text/plain", "copied meanwhile"}}};
  rig.clipboard->copyFromElsewhere(theirs);
  test::spinFor(0.2);
  EXPECT_EQ(rig.clipboard->contents, theirs);
}

TEST(PasteInserter, TwoPastesInsideTheDelayStillRestoreTheUsersClipboard) {
  InserterRig rig;
  rig.delay = 0.2;
  rig.clipboard->contents = rich;
  auto inserter = rig.make();
  inserter->insert(QStringLiteral("first"));
  inserter->insert(QStringLiteral("second"));
  ASSERT_EQ(rig.seenAtPaste.size(), 2u);
  EXPECT_EQ(rig.seenAtPaste[1][0][0].second, QByteArray("second"));
  EXPECT_TRUE(test::spinUntil([&] { return rig.clipboard->contents == rich; }, 2.0));
  test::spinFor(0.3);
  EXPECT_EQ(rig.clipboard->contents, rich);
}

TEST(PasteInserter, AfterACopyInBetweenTheNewerContentsAreSaved) {
  InserterRig rig;
  rig.delay = 0.2;
  rig.clipboard->contents = rich;
  auto inserter = rig.make();
  inserter->insert(QStringLiteral("first"));
  std::vector<ClipboardItem> theirs = {{{"text/plain", "copied meanwhile"}}};
  rig.clipboard->copyFromElsewhere(theirs);
  inserter->insert(QStringLiteral("second"));
  EXPECT_TRUE(test::spinUntil([&] { return rig.clipboard->contents == theirs; }, 2.0));
}

TEST(PasteInserter, AnEmptyClipboardComesBackEmpty) {
  InserterRig rig;
  auto inserter = rig.make();
  inserter->insert(QStringLiteral("x"));
  EXPECT_FALSE(rig.clipboard->contents.empty());
  EXPECT_TRUE(test::spinUntil([&] { return rig.clipboard->contents.empty(); }, 2.0));
}

TEST(PasteInserter, TheRestoreOutlivesTheInserter) {
  InserterRig rig;
  rig.clipboard->contents = rich;
  rig.make()->insert(QStringLiteral("x"));
  EXPECT_TRUE(test::spinUntil([&] { return rig.clipboard->contents == rich; }, 2.0));
}

}  // namespace
}  // namespace talvo
