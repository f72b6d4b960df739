// Dictating into another program with the real talvo: the hotkey held on the X server,
// speech played into the virtual microphone, the result read back from the target window,
// the clipboard, the history file and the log.
#include "desktop/target_window.h"
#include "e2e/accessible_tree.h"
#include "e2e/dictation_steps.h"
#include "e2e/talvo_instance.h"
#include "replay/word_error_rate.h"

#include <gtest/gtest.h>

#include <memory>

namespace talvo::test {
namespace {

// Recognising a few seconds of speech on a busy two-core machine.
constexpr int outcomeTimeoutMs = 60000;
// Well past the program's clipboard restore delay of 0.6 s.
constexpr int restoreTimeoutMs = 10000;
constexpr int windowTimeoutMs = 20000;
// The share of the clip's words that must arrive: the recogniser misses some.
constexpr double maxWordErrorRate = 0.4;
constexpr int keyHoldMs = 100;
constexpr int clickAttempts = 3;
constexpr int clickAnswerMs = 1000;

const SpeechClip& shortClip() {
  static const SpeechClip clip = librivoxClip("0880");
  return clip;
}

std::string describe(const std::map<QString, QByteArray>& clipboard) {
  std::string text;
  for (const auto& [type, data] : clipboard)
    text += type.toStdString() + ": " + data.toStdString() + "\n";
  return text;
}

std::string describe(const std::vector<XWindow>& windows) {
  std::string text;
  for (const XWindow& w : windows)
    text += QStringLiteral("%1 '%2' override %3 viewable %4 at %5,%6 %7x%8\n")
                .arg(w.id)
                .arg(w.title)
                .arg(w.overrideRedirect)
                .arg(w.viewable)
                .arg(w.frame.x())
                .arg(w.frame.y())
                .arg(w.frame.width())
                .arg(w.frame.height())
                .toStdString();
  return text;
}

// One running talvo and one target window for the cases below, in order: each leaves the
// program idle, and the last one opens the main window.
class Dictation : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    talvo_ = std::make_unique<TalvoInstance>(TalvoInstance::Options{});
    started_ = talvo_->start();
    target_ = std::make_unique<TargetWindow>();
  }
  static void TearDownTestSuite() {
    target_.reset();
    talvo_.reset();
  }

  void SetUp() override {
    ASSERT_TRUE(started_) << qPrintable(talvo_->output());
    ASSERT_EQ(target_->ask("clear"), "ok");
    ASSERT_TRUE(keys_.focus(target_->window()));
  }

  static void focus(const QString& field) { ASSERT_EQ(target_->ask("focus " + field), "ok"); }

  // Dictates the clip and waits for the log's line about it; the outcome it names.
  std::optional<QString> dictateOne(const SpeechClip& clip) {
    const qsizetype before = outcomes().size();
    if (!dictate(keys_, windows_, talvo_->pid(), clip)) return std::nullopt;
    if (!eventually([&] { return outcomes().size() > before; }, outcomeTimeoutMs))
      return std::nullopt;
    return outcomes().back();
  }

  static QStringList outcomes() { return talvo_->outcomes(); }

  static bool fieldsEmpty() {
    return target_->field("line").isEmpty() && target_->field("password").isEmpty() &&
           target_->field("edit").isEmpty();
  }

  static inline std::unique_ptr<TalvoInstance> talvo_;
  static inline std::unique_ptr<TargetWindow> target_;
  static inline bool started_ = false;
  XKeyboard keys_;
  XWindows windows_;
};

TEST_F(Dictation, aTextFieldReceivesTheWordsAndTheClipboardComesBack) {
  ASSERT_EQ(target_->ask("copy-rich"), "ok");
  const auto clipboard = target_->clipboard();
  ASSERT_FALSE(clipboard.empty());
  focus("line");
  const std::size_t before = talvo_->history().size();

  EXPECT_EQ(dictateOne(shortClip()), "pasted") << qPrintable(talvo_->log());
  ASSERT_TRUE(eventually([&] { return !target_->field("line").isEmpty(); }, restoreTimeoutMs));
  const QString typed = target_->field("line");
  EXPECT_LE(wordErrorRate(shortClip().reference, typed), maxWordErrorRate) << qPrintable(typed);
  const auto history = talvo_->history();
  ASSERT_EQ(history.size(), before + 1);
  EXPECT_EQ(history.front().outcome, "pasted");
  EXPECT_EQ(history.front().text, typed);
  EXPECT_TRUE(eventually([&] { return target_->clipboard() == clipboard; }, restoreTimeoutMs))
      << describe(target_->clipboard()) << "\nbefore:\n"
      << describe(clipboard);
}

TEST_F(Dictation, aPasswordFieldGetsNothingAndNothingIsKept) {
  ASSERT_EQ(target_->ask("copy kept words"), "ok");
  const auto clipboard = target_->clipboard();
  const quint64 owner = windows_.clipboardOwner();
  focus("password");
  const std::size_t before = talvo_->history().size();

  EXPECT_EQ(dictateOne(shortClip()), "held back: secureInput") << qPrintable(talvo_->log());
  AccessibleTree tree;
  EXPECT_TRUE(eventually(
      [&] { return tree.hasNamed(talvo_->pid(), "Password field, so nothing was typed"); },
      outcomeTimeoutMs));
  EXPECT_TRUE(fieldsEmpty());
  // A password field's dictation is not kept anywhere.
  EXPECT_EQ(talvo_->history().size(), before);
  EXPECT_EQ(windows_.clipboardOwner(), owner);
  EXPECT_EQ(target_->clipboard(), clipboard);
}

TEST_F(Dictation, withNoTextFieldAClickOnTheBarCopiesTheText) {
  ASSERT_EQ(target_->ask("copy kept words"), "ok");
  focus("button");

  EXPECT_EQ(dictateOne(shortClip()), "held back: notText") << qPrintable(talvo_->log());
  ASSERT_FALSE(talvo_->history().empty());
  const History::Entry entry = talvo_->history().front();
  EXPECT_EQ(entry.outcome, "held back: notText");
  EXPECT_TRUE(fieldsEmpty());
  EXPECT_EQ(target_->clipboard()["text/plain"], "kept words");

  // The bar may still be taking its message's size when first seen, so a click that lands
  // beside it is tried again where the bar now is.
  const auto copied = [&] { return target_->clipboard()["text/plain"] == entry.text.toUtf8(); };
  bool clicked = false;
  for (int attempt = 0; attempt < clickAttempts && !clicked; ++attempt) {
    const std::optional<XWindow> bar = shownBar(windows_, talvo_->pid());
    ASSERT_TRUE(bar) << describe(windows_.ofProcess(talvo_->pid()));
    ASSERT_TRUE(windows_.click(bar->frame.center()));
    clicked = eventually(copied, clickAnswerMs);
  }
  EXPECT_TRUE(clicked) << qPrintable(entry.text) << "\n" << describe(target_->clipboard());
}

TEST_F(Dictation, escapeWhileHoldingTypesAndStoresNothing) {
  focus("line");
  const std::size_t before = talvo_->history().size();

  ASSERT_TRUE(keys_.press("Control_R"));
  ASSERT_TRUE(
      eventually([&] { return shownBar(windows_, talvo_->pid()).has_value(); }, windowTimeoutMs));
  ASSERT_TRUE(speak(shortClip()));
  // Held as a hand holds it: long enough for the program's keyboard sampling to see it.
  ASSERT_TRUE(keys_.press("Escape"));
  runEventsFor(keyHoldMs);
  ASSERT_TRUE(keys_.release("Escape"));
  ASSERT_TRUE(keys_.release("Control_R"));

  EXPECT_TRUE(eventually([&] { return talvo_->logged("dictation discarded: cancelled"); },
                         outcomeTimeoutMs))
      << qPrintable(talvo_->log());
  EXPECT_TRUE(eventually([&] { return !shownBar(windows_, talvo_->pid()); }, windowTimeoutMs))
      << describe(windows_.ofProcess(talvo_->pid()));
  EXPECT_TRUE(fieldsEmpty());
  EXPECT_EQ(talvo_->history().size(), before);
}

// What a desktop shortcut bound to `talvo --toggle` and `talvo --cancel` does.
TEST_F(Dictation, toggleTwiceFromTheCommandLineDictatesOnceAndCancelDiscards) {
  focus("line");
  const std::size_t before = talvo_->history().size();
  const auto ask = [&](const char* option) { return talvo_->runAgain({option}).code; };

  ASSERT_EQ(ask("--toggle"), 0);
  ASSERT_TRUE(
      eventually([&] { return shownBar(windows_, talvo_->pid()).has_value(); }, windowTimeoutMs));
  ASSERT_TRUE(speak(shortClip()));
  ASSERT_EQ(ask("--toggle"), 0);
  ASSERT_TRUE(eventually([&] { return talvo_->history().size() > before; }, outcomeTimeoutMs))
      << qPrintable(talvo_->log());
  EXPECT_EQ(outcomes().back(), "pasted");
  EXPECT_FALSE(target_->field("line").isEmpty());

  const qsizetype cancelled = talvo_->log().count("dictation discarded: cancelled");
  ASSERT_TRUE(eventually([&] { return !shownBar(windows_, talvo_->pid()); }, windowTimeoutMs));
  ASSERT_EQ(ask("--toggle"), 0);
  ASSERT_TRUE(
      eventually([&] { return shownBar(windows_, talvo_->pid()).has_value(); }, windowTimeoutMs));
  ASSERT_EQ(ask("--cancel"), 0);
  EXPECT_TRUE(
      eventually([&] { return talvo_->log().count("dictation discarded: cancelled") > cancelled; },
                 outcomeTimeoutMs));
  EXPECT_EQ(talvo_->history().size(), before + 1);
}

TEST_F(Dictation, aSecondStartOpensTheFirstOnesMainWindowAndLeaves) {
  ASSERT_FALSE(shownWindow(windows_, talvo_->pid(), "Talvo"));

  const ProgramExit second = talvo_->runAgain();
  EXPECT_TRUE(second.finished);
  EXPECT_FALSE(second.crashed);
  EXPECT_EQ(second.code, 0) << qPrintable(second.errors);
  EXPECT_TRUE(eventually([&] { return shownWindow(windows_, talvo_->pid(), "Talvo").has_value(); },
                         windowTimeoutMs));
  EXPECT_TRUE(talvo_->running());
}

}  // namespace
}  // namespace talvo::test
