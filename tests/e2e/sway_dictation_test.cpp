// The real talvo on a headless sway, as a native Wayland program: the key held through the
// test's own virtual keyboard, speech played into the virtual microphone, the words read
// back from a native Wayland window, and the clipboard through the compositor.
#include "desktop/sway_session.h"
#include "desktop/target_window.h"
#include "desktop/virtual_desktop.h"
#include "e2e/dictation_steps.h"
#include "e2e/talvo_instance.h"
#include "replay/word_error_rate.h"
#include "sway/sway_ipc.h"
#include "sway/sway_tree.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace talvo::test {
namespace {

constexpr int outcomeTimeoutMs = 60000;
constexpr int restoreTimeoutMs = 10000;
constexpr int barTimeoutMs = 10000;
constexpr double maxWordErrorRate = 0.4;
// The key stays down this much longer than the clip lasts: for the bar to come up before the
// clip plays, and for a moment of silence after it.
constexpr int holdMarginMs = 3000;

QByteArray wlPaste() {
  QProcess paste;
  paste.start("wl-paste", {"--no-newline"});
  paste.waitForFinished(restoreTimeoutMs);
  return paste.readAllStandardOutput();
}

class SwayDictation : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    sway_ = std::make_unique<SwaySession>();
    if (!sway_->problem().isEmpty()) return;
    const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/wayland-1";
    talvo_ = std::make_unique<TalvoInstance>(TalvoInstance::Options{
        .environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", socket}}});
    started_ = talvo_->start();
    // After the program, whose virtual keyboard gives the seat a keyboard: a window made
    // before there is one misses its first key.
    target_ = std::make_unique<TargetWindow>("wayland");
    QString why;
    ipc_ = sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  }
  static void TearDownTestSuite() {
    target_.reset();
    talvo_.reset();
    ipc_.reset();
    sway_.reset();
  }

  void SetUp() override {
    ASSERT_EQ(sway_->problem(), "");
    ASSERT_TRUE(started_) << qPrintable(talvo_->output());
    ASSERT_TRUE(ipc_);
    ASSERT_EQ(target_->ask("clear"), "ok");
  }

  // Holds the key while the clip plays; the outcome the log names for it. The bar must show
  // and the target keep the focus meanwhile.
  static std::optional<QString> dictateOne(const SpeechClip& clip) {
    const qsizetype before = talvo_->outcomes().size();
    const int holdMs = clipMs(clip);
    QProcess typist;
    SwaySession::type(typist, {"-P", "Control_R", "-s", QString::number(holdMs + holdMarginMs),
                               "-p", "Control_R"});
    std::optional<sway::Window> bar;
    EXPECT_TRUE(
        eventually([&] { return (bar = sway::firstWindowOf(*ipc_, talvo_->pid())).has_value(); },
                   barTimeoutMs));
    EXPECT_TRUE(bar && bar->floating) << (bar ? bar->title.toStdString() : "no bar");
    EXPECT_TRUE(speak(clip));
    EXPECT_EQ(sway::focusedWindow(*ipc_).value_or(sway::Window{}).pid, target_->pid());
    EXPECT_TRUE(
        eventually([&] { return typist.state() == QProcess::NotRunning; }, 2 * holdMarginMs));
    if (!eventually([&] { return talvo_->outcomes().size() > before; }, outcomeTimeoutMs))
      return std::nullopt;
    return talvo_->outcomes().back();
  }

  static inline std::unique_ptr<SwaySession> sway_;
  static inline std::unique_ptr<TalvoInstance> talvo_;
  static inline std::unique_ptr<TargetWindow> target_;
  static inline std::unique_ptr<sway::Connection> ipc_;
  static inline bool started_ = false;
};

TEST_F(SwayDictation, aNativeFieldGetsTheWordsAndTheClipboardComesBack) {
  ASSERT_EQ(QProcess::execute("wl-copy", {"kept words"}), 0);
  ASSERT_TRUE(eventually([] { return wlPaste() == "kept words"; }, restoreTimeoutMs));
  ASSERT_EQ(target_->ask("focus line"), "ok");
  const SpeechClip clip = librivoxClip("0880");

  EXPECT_EQ(dictateOne(clip), "pasted") << qPrintable(talvo_->log());
  ASSERT_TRUE(eventually([] { return !target_->field("line").isEmpty(); }, restoreTimeoutMs));
  const QString typed = target_->field("line");
  EXPECT_LE(wordErrorRate(clip.reference, typed), maxWordErrorRate) << qPrintable(typed);
  EXPECT_TRUE(eventually([] { return wlPaste() == "kept words"; }, restoreTimeoutMs))
      << wlPaste().toStdString();
  EXPECT_TRUE(
      talvo_->logged("desktop: hotkey sway bindings, paste Wayland virtual keyboard, "
                     "clipboard Wayland data control, bar sway floating window"));
}

TEST_F(SwayDictation, aPasswordFieldGetsNothing) {
  ASSERT_EQ(target_->ask("focus password"), "ok");
  EXPECT_EQ(dictateOne(librivoxClip("0880")), "held back: secureInput")
      << qPrintable(talvo_->log());
  EXPECT_EQ(target_->field("password"), "");
}

}  // namespace
}  // namespace talvo::test

int main(int argc, char** argv) {
  using namespace talvo::test;
  return runInVirtualDesktop(argc, argv, {.accessibility = true}, [&] {
    QCoreApplication app(argc, argv);
    const auto sound = startDictationSound();
    return sound ? RUN_ALL_TESTS() : 1;
  });
}
