// Starting the real talvo in unusual places: empty folders, no sound server, a Wayland
// display that does not answer.
#include "e2e/accessible_tree.h"
#include "e2e/dictation_steps.h"
#include "e2e/talvo_instance.h"
#include "replay/word_error_rate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace talvo::test {
namespace {

constexpr int windowTimeoutMs = 20000;
constexpr int outcomeTimeoutMs = 60000;
constexpr double maxWordErrorRate = 0.4;
// Set-up has six steps; the try-it box is on the fifth.
constexpr int maxSetupSteps = 6;

// The editable text boxes of the program's windows.
std::vector<AccessibleNode> textBoxes(AccessibleTree& tree, qint64 pid) {
  std::vector<AccessibleNode> boxes;
  for (const AccessibleNode& node : tree.of(pid))
    if (node.role == "text") boxes.push_back(node);
  return boxes;
}

TEST(FirstStart, opensSetUpWhoseTryItBoxTakesTheDictation) {
  TalvoInstance::Options firstTime;
  firstTime.onboarded = false;
  TalvoInstance talvo(firstTime);
  ASSERT_TRUE(talvo.start()) << qPrintable(talvo.output());
  XWindows windows;
  XKeyboard keys;
  AccessibleTree tree;
  std::optional<XWindow> setup;
  ASSERT_TRUE(eventually(
      [&] { return (setup = shownWindow(windows, talvo.pid(), "Set up Talvo")).has_value(); },
      windowTimeoutMs));

  // Walks forward to the step with the try-it box.
  for (int step = 0; step < maxSetupSteps && textBoxes(tree, talvo.pid()).empty(); ++step) {
    for (const char* button : {"Set up", "Continue", "Skip for now", "Skip"})
      if (tree.press(talvo.pid(), button)) break;
    runEventsFor(200);
  }
  ASSERT_EQ(textBoxes(tree, talvo.pid()).size(), 1u);
  ASSERT_TRUE(keys.focus(setup->id));

  const SpeechClip clip = librivoxClip("0880");
  ASSERT_TRUE(dictate(keys, windows, talvo.pid(), clip));
  ASSERT_TRUE(eventually([&] { return !textBoxes(tree, talvo.pid()).front().text.isEmpty(); },
                         outcomeTimeoutMs))
      << qPrintable(talvo.log());
  const QString tried = textBoxes(tree, talvo.pid()).front().text;
  EXPECT_LE(wordErrorRate(clip.reference, tried), maxWordErrorRate) << qPrintable(tried);
}

TEST(NoSoundServer, theProgramRunsAndAPressSaysThereIsNoMicrophone) {
  QTemporaryDir dead;
  QFile config(dead.filePath("client.conf"));
  ASSERT_TRUE(config.open(QIODevice::WriteOnly));
  config.write("autospawn = no\n");
  config.close();
  TalvoInstance::Options silent;
  silent.environment = {{"PULSE_SERVER", "unix:" + dead.filePath("no-server")},
                        {"PULSE_CLIENTCONFIG", config.fileName()}};
  TalvoInstance talvo(silent);
  ASSERT_TRUE(talvo.start()) << qPrintable(talvo.output());
  XWindows windows;
  XKeyboard keys;
  AccessibleTree tree;
  ASSERT_TRUE(eventually([&] { return !windows.inTray(talvo.pid()).empty(); }, windowTimeoutMs));
  ASSERT_TRUE(eventually([&] { return talvo.warmedUp(); }, outcomeTimeoutMs))
      << qPrintable(talvo.log());

  ASSERT_TRUE(keys.press("Control_R"));
  runEventsFor(500);
  ASSERT_TRUE(keys.release("Control_R"));

  const QString failure = QStringLiteral("No microphone found.");
  EXPECT_TRUE(
      eventually([&] { return talvo.logged("dictation failed: " + failure); }, outcomeTimeoutMs))
      << qPrintable(talvo.log());
  EXPECT_TRUE(eventually([&] { return tree.hasNamed(talvo.pid(), failure); }, outcomeTimeoutMs));

  // The status line is the first row of the tray icon's menu. That row is disabled, so the
  // keyboard goes to the next one, and the menu is read from there.
  const auto icons = windows.inTray(talvo.pid());
  ASSERT_FALSE(icons.empty());
  ASSERT_TRUE(windows.click(icons.front().frame.center(), 3));
  std::vector<AccessibleNode> menu;
  EXPECT_TRUE(eventually(
      [&] {
        keys.tap("Down");
        menu = tree.focusedMenu();
        return !menu.empty();
      },
      windowTimeoutMs));
  ASSERT_FALSE(menu.empty());
  EXPECT_EQ(menu.front().name.toStdString(), failure.toStdString()) << qPrintable(talvo.log());
  ASSERT_TRUE(keys.tap("Escape"));
  EXPECT_TRUE(talvo.running()) << qPrintable(talvo.output());
}

TEST(NotRunning, aToggleSaysSoAndFails) {
  const ProgramExit exit = TalvoInstance(TalvoInstance::Options{}).runAgain({"--toggle"});
  EXPECT_EQ(exit.code, 1);
  // Its first line; the toolkit may add warnings of its own below it.
  EXPECT_EQ(exit.errors.section(u'\n', 0, 0).toStdString(), "talvo: the program is not running")
      << qPrintable(exit.errors);
}

TEST(DeadWaylandDisplay, theProgramSaysSoAndRunsOnX11) {
  TalvoInstance::Options deadWayland;
  deadWayland.environment = {{"WAYLAND_DISPLAY", "talvo-nowhere"}};
  TalvoInstance talvo(deadWayland);
  ASSERT_TRUE(talvo.start()) << qPrintable(talvo.output());
  EXPECT_TRUE(talvo.logged("the Wayland display does not answer: using X11"));
  EXPECT_TRUE(talvo.logged("desktop: hotkey X11 keyboard, paste XTest"));
}

}  // namespace
}  // namespace talvo::test
