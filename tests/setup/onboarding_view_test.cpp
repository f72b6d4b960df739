#include "setup/onboarding_view.h"

#include "model/app_model.h"
#include "support/model_stubs.h"
#include "storage/settings_store.h"
#include "support/qt_printers.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace talvo {
namespace {

struct Fixture {
  QTemporaryDir dir;
  AppModel model{std::make_shared<Preferences>(std::make_shared<MemorySettingsStore>(),
                                               std::make_shared<test::MemoryLoginItem>()),
                 std::make_shared<History>(dir.filePath("h.jsonl"), 10),
                 std::make_shared<test::AllowingFacts>(), dir.filePath("dictionary.json")};
  int closes = 0;
  int finishes = 0;
  std::unique_ptr<OnboardingView> view;

  explicit Fixture(SetupStep step, bool typing = true) {
    model.setAxTrusted(typing);
    model.setMicGranted(true);
    model.setOnFinishSetup([this] { ++finishes; });
    view = std::make_unique<OnboardingView>(
        &model, [this] { ++closes; }, step);
    view->resize(OnboardingView::windowSize);
    view->show();
  }
  QStringList footer() {
    QCoreApplication::processEvents();
    QStringList texts;
    for (QPushButton* b : view->findChildren<QPushButton*>(QStringLiteral("footerButton"))) {
      if (b->isVisibleTo(view.get())) texts << b->text();
    }
    return texts;
  }
  void press(const QString& text) {
    QCoreApplication::processEvents();
    for (QPushButton* b : view->findChildren<QPushButton*>()) {
      if (b->text() == text && b->isVisibleTo(view.get())) {
        QTest::mouseClick(b, Qt::LeftButton);
        return;
      }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
  }
  QString text(const QString& name) {
    QCoreApplication::processEvents();
    for (QLabel* label : view->findChildren<QLabel*>(name)) {
      if (label->isVisibleTo(view.get())) return label->text();
    }
    return {};
  }
};

TEST(OnboardingView, GlobeKeyStepOnlyWhileTheKeyConflicts) {
  Fixture f(SetupStep::pasting);
  f.model.setHotkey(HotkeyChoice::fn);
  f.model.setFnSetting(FnKeySetting::emoji);
  f.press(QStringLiteral("Continue"));
  ASSERT_EQ(f.view->step(), SetupStep::fnKey);
  EXPECT_EQ(
      f.text(QStringLiteral("fnText")),
      "Right now pressing 🌐 does " + label(FnKeySetting::emoji) + ". That will fight with Talvo.");
  EXPECT_EQ(f.text(QStringLiteral("status")), QStringLiteral("Needs one change"));
  f.press(QStringLiteral("Use Right Alt instead"));
  EXPECT_EQ(f.text(QStringLiteral("status")), QStringLiteral("Sorted"));
  EXPECT_EQ(f.model.hotkey(), HotkeyChoice::rightOption);
  f.press(QStringLiteral("Continue"));
  EXPECT_EQ(f.view->step(), SetupStep::tryIt);
  f.press(QStringLiteral("Back"));
  EXPECT_EQ(f.view->step(), SetupStep::pasting);
}

TEST(OnboardingView, PastingOffersSkipOnlyWithoutTyping) {
  Fixture without(SetupStep::pasting, false);
  EXPECT_EQ(without.footer(), (QStringList{"Back", "Skip for now", "Continue"}));
  without.press(QStringLiteral("Skip for now"));
  EXPECT_EQ(without.view->step(), SetupStep::tryIt);
  Fixture with(SetupStep::pasting, true);
  EXPECT_EQ(with.footer(), (QStringList{"Back", "Continue"}));
  EXPECT_EQ(with.text(QStringLiteral("status")), QStringLiteral("Allowed"));
}

TEST(OnboardingView, TryItTextEndsTheSkipAndShowsSuccess) {
  Fixture f(SetupStep::tryIt);
  EXPECT_EQ(f.footer(), (QStringList{"Back", "Skip", "Continue"}));
  EXPECT_TRUE(f.text(QStringLiteral("status")).isEmpty());
  auto* editor = f.view->findChild<QPlainTextEdit*>(QStringLiteral("tryIt"));
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  QTest::keyClicks(editor, QStringLiteral("This is"));
  EXPECT_EQ(f.model.tryItText(), QStringLiteral("This is"));
  EXPECT_TRUE(editor->hasFocus());
  EXPECT_EQ(f.footer(), (QStringList{"Back", "Continue"}));
  EXPECT_EQ(f.text(QStringLiteral("status")),
            QStringLiteral("That's it. It works the same in every app."));
  // Dictated text arrives through the model.
  f.model.setTryItText(QStringLiteral("This is my first try"));
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("This is my first try"));
}

TEST(OnboardingView, TryItSaysHowThisDesktopHearsTheKey) {
  const struct {
    HotkeyPath path;
    QString instructionStart;
    QString noteWords;
  } cases[] = {{HotkeyPath::heldKey, "Hold ", {}},
               {HotkeyPath::desktopShortcut, "Hold ", "confirm it"},
               {HotkeyPath::commandOnly, "Press your shortcut", "bind a shortcut"}};
  for (const auto& c : cases) {
    Fixture f(SetupStep::tryIt);
    f.model.setHotkeyPath(c.path);
    EXPECT_TRUE(f.text(QStringLiteral("instruction")).startsWith(c.instructionStart));
    const QString note = f.text(QStringLiteral("note"));
    EXPECT_EQ(note.isEmpty(), c.noteWords.isEmpty()) << note.toStdString();
    EXPECT_TRUE(note.contains(c.noteWords)) << note.toStdString();
  }
}

TEST(OnboardingView, EscClosesWithoutFinishing) {
  Fixture f(SetupStep::microphone);
  QTest::keyClick(f.view.get(), Qt::Key_Escape);
  EXPECT_EQ(f.closes, 1);
  EXPECT_EQ(f.finishes, 0);
}

TEST(OnboardingView, DoneFinishesThenCloses) {
  Fixture f(SetupStep::done);
  EXPECT_EQ(f.footer(), QStringList{"Done"});
  f.press(QStringLiteral("Done"));
  EXPECT_EQ(f.finishes, 1);
  EXPECT_EQ(f.closes, 1);
}

TEST(OnboardingView, WelcomeWalksForward) {
  Fixture f(SetupStep::welcome);
  f.press(QStringLiteral("Set up"));
  EXPECT_EQ(f.view->step(), SetupStep::microphone);
  EXPECT_EQ(f.text(QStringLiteral("status")), QStringLiteral("Microphone allowed"));
  f.model.setMicGranted(false);
  EXPECT_EQ(f.text(QStringLiteral("status")), QStringLiteral("No microphone found yet"));
}

}  // namespace
}  // namespace talvo
