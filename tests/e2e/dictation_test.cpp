// Dictating into another program with the real talvo: the hotkey held on the X server,
// speech played into the virtual microphone, the result read back from the target window,
// the clipboard, the history file and the accessible tree.
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

const SpeechClip& shortClip() {
  static const SpeechClip clip = librivoxClip("0880");
  return clip;
}

// Whether any object of the program's accessible tree shows the text.
bool shows(AccessibleTree& tree, qint64 pid, const QString& text) {
  for (const AccessibleNode& node : tree.of(pid))
    if (node.name.contains(text) || node.description.contains(text) || node.text.contains(text)) return true;
  return false;
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

  void focus(const QString& field) { ASSERT_EQ(target_->ask("focus " + field), "ok"); }

  // Dictates the clip and waits for the history entry it makes.
  std::optional<History::Entry> dictateOne(const SpeechClip& clip) {
    const std::size_t before = talvo_->history().size();
    if (!dictate(keys_, windows_, talvo_->pid(), clip)) return std::nullopt;
    if (!eventually([&] { return talvo_->history().size() > before; }, outcomeTimeoutMs)) return std::nullopt;
    return talvo_->history().front();
  }

  bool fieldsEmpty() {
    return target_->field("line").isEmpty() && target_->field("password").isEmpty() &&
           target_->field("edit").isEmpty();
  }

  static inline std::unique_ptr<TalvoInstance> talvo_;
  static inline std::unique_ptr<TargetWindow> target_;
  static inline bool started_ = false;
  XKeyboard keys_;
  XWindows windows_;
  AccessibleTree tree_;
};

TEST_F(Dictation, aTextFieldReceivesTheWordsAndTheClipboardComesBack) {
  ASSERT_EQ(target_->ask("copy-rich"), "ok");
  const auto clipboard = target_->clipboard();
  ASSERT_FALSE(clipboard.empty());
  focus("line");
  const std::size_t before = talvo_->history().size();

  const auto entry = dictateOne(shortClip());
  ASSERT_TRUE(entry) << qPrintable(talvo_->log());
  EXPECT_EQ(entry->outcome, "pasted");
  ASSERT_TRUE(eventually([&] { return !target_->field("line").isEmpty(); }, restoreTimeoutMs));
  const QString typed = target_->field("line");
  EXPECT_LE(wordErrorRate(shortClip().reference, typed), maxWordErrorRate) << qPrintable(typed);
  EXPECT_EQ(typed, entry->text);
  EXPECT_TRUE(eventually([&] { return target_->clipboard() == clipboard; }, restoreTimeoutMs));
  EXPECT_EQ(talvo_->history().size(), before + 1);
}

TEST_F(Dictation, aPasswordFieldGetsNothingAndTheBarSaysWhy) {
  ASSERT_EQ(target_->ask("copy kept words"), "ok");
  const auto clipboard = target_->clipboard();
  const quint64 owner = windows_.clipboardOwner();
  focus("password");

  const auto entry = dictateOne(shortClip());
  ASSERT_TRUE(entry) << qPrintable(talvo_->log());
  EXPECT_EQ(entry->outcome, "held back: secureInput");
  EXPECT_TRUE(eventually([&] { return shows(tree_, talvo_->pid(), "Password field, so nothing was typed"); },
                         windowTimeoutMs));
  EXPECT_TRUE(fieldsEmpty());
  EXPECT_EQ(windows_.clipboardOwner(), owner);
  EXPECT_EQ(target_->clipboard(), clipboard);
}

TEST_F(Dictation, withNoTextFieldAClickOnTheBarCopiesTheText) {
  ASSERT_EQ(target_->ask("copy kept words"), "ok");
  focus("button");

  const auto entry = dictateOne(shortClip());
  ASSERT_TRUE(entry) << qPrintable(talvo_->log());
  EXPECT_TRUE(entry->outcome.startsWith("held back: ")) << qPrintable(entry->outcome);
  EXPECT_NE(entry->outcome, "held back: secureInput");
  EXPECT_TRUE(fieldsEmpty());
  EXPECT_EQ(target_->clipboard()["text/plain"], "kept words");

  std::optional<XWindow> bar;
  ASSERT_TRUE(eventually([&] { return (bar = shownBar(windows_, talvo_->pid())).has_value(); }, windowTimeoutMs));
  ASSERT_TRUE(windows_.click(bar->frame.center()));
  EXPECT_TRUE(eventually([&] { return target_->clipboard()["text/plain"] == entry->text.toUtf8(); },
                         restoreTimeoutMs))
      << qPrintable(entry->text);
}

TEST_F(Dictation, escapeWhileHoldingTypesAndStoresNothing) {
  focus("line");
  const std::size_t before = talvo_->history().size();

  ASSERT_TRUE(keys_.press("Control_R"));
  ASSERT_TRUE(eventually([&] { return shownBar(windows_, talvo_->pid()).has_value(); }, windowTimeoutMs));
  ASSERT_TRUE(speak(shortClip()));
  ASSERT_TRUE(keys_.tap("Escape"));
  ASSERT_TRUE(keys_.release("Control_R"));

  EXPECT_TRUE(eventually([&] { return talvo_->logged("dictation discarded: cancelled"); }, outcomeTimeoutMs))
      << qPrintable(talvo_->log());
  EXPECT_TRUE(eventually([&] { return !shownBar(windows_, talvo_->pid()); }, windowTimeoutMs));
  EXPECT_TRUE(fieldsEmpty());
  EXPECT_EQ(talvo_->history().size(), before);
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
