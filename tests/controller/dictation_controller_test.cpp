#include "controller/dictation_controller.h"
#include "storage/app_paths.h"
#include "storage/log.h"
#include "support/fakes.h"
#include "support/task_runner.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using namespace std::chrono_literals;
using namespace dictation_state;
using test::levelBuffer;

const HotkeyEvent press = hotkey_event::Pressed{};
const HotkeyEvent release = hotkey_event::Released{1.0};
const HotkeyEvent lockEvent = hotkey_event::Locked{};

class ControllerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    AppPaths::setSupport(dir.path());
    history = std::make_shared<History>(dir.filePath("history.jsonl"), 500);
    controller = makeController();
  }

  void TearDown() override { Log::flush(); }

  std::shared_ptr<DictationController> makeController() {
    auto c = DictationController::create({audio, transcriber, cleaner, inserter, history,
                                          [this] { return dictionary; }});
    c->onState = [this](const DictationState& s) { states.push_back(s); };
    c->onRecord = [this](const DictationRecord& r) { records.push_back(r); };
    c->onPartial = [this](const std::vector<SpokenWord>& w) { partials.push_back(w); };
    return c;
  }

  // One dictation of `seconds` at a steady `value`, audio delivered on a capture thread.
  void dictate(double seconds = 0.5, float value = 0.1f) {
    controller->handle(press);
    audio->deliverFromThread(seconds, value);
    controller->handle(release);
  }

  bool waitForStates(std::size_t n) {
    return test::spinUntil([&] { return states.size() >= n; });
  }

  QString logText() {
    Log::flush();
    QFile file(dir.filePath("talvo.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  QTemporaryDir dir;
  std::shared_ptr<test::FakeAudioSource> audio = std::make_shared<test::FakeAudioSource>();
  std::shared_ptr<test::FakeTranscriber> transcriber = std::make_shared<test::FakeTranscriber>();
  std::shared_ptr<test::FakeCleaner> cleaner = std::make_shared<test::FakeCleaner>();
  std::shared_ptr<test::FakeInserter> inserter = std::make_shared<test::FakeInserter>();
  std::shared_ptr<History> history;
  UserDictionary dictionary;
  std::shared_ptr<DictationController> controller;
  std::vector<DictationState> states;
  std::vector<DictationRecord> records;
  std::vector<std::vector<SpokenWord>> partials;
};

TEST_F(ControllerTest, AcceptedDictationIsInsertedRecordedAndKept) {
  dictionary.addFix(QStringLiteral("world"), QStringLiteral("World"));
  dictate(0.5, 0.1f);
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states, (std::vector<DictationState>{Listening{}, Working{}, Done{insert_outcome::Pasted{}}}));
  ASSERT_EQ(records.size(), 1u);
  const DictationRecord& r = records[0];
  EXPECT_EQ(r.raw, "hello world");
  EXPECT_EQ(r.text, "hello World");
  EXPECT_EQ(r.cleanup, CleanupResult::Kind::rules);
  EXPECT_NEAR(r.seconds, 0.5, 0.011);
  EXPECT_EQ(r.words.size(), 2u);
  EXPECT_GE(r.totalMs, r.sttMs);
  EXPECT_EQ(inserter->texts, (std::vector<QString>{"hello World"}));
  EXPECT_EQ(controller->lastText(), QString("hello World"));
  EXPECT_FALSE(controller->listening());
  EXPECT_EQ(cleaner->cleaned, (std::vector<QString>{"hello World"}));

  // Every buffer reached the session, including those captured before it opened.
  EXPECT_EQ(transcriber->opened.at(0)->appendedFrames.load(), 24000);
  EXPECT_TRUE(transcriber->opened.at(0)->finished);

  auto entries = history->recent(10);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].text, "hello World");
  EXPECT_EQ(entries[0].raw, "hello world");
  EXPECT_EQ(entries[0].cleanup, "rules");
  EXPECT_EQ(entries[0].outcome, "pasted");
}

TEST_F(ControllerTest, TermsGoToPrewarmAndSession) {
  dictionary.addWord(QStringLiteral("Vorlith"));
  dictate();
  ASSERT_TRUE(waitForStates(3));
  ASSERT_EQ(cleaner->prewarmed.size(), 1u);
  EXPECT_TRUE(cleaner->prewarmed[0].contains("Vorlith"));
  EXPECT_EQ(transcriber->termsSeen.at(0), cleaner->prewarmed[0]);
}

TEST_F(ControllerTest, StartFailureReportsTheMessageAndReleaseIsSilent) {
  audio->failStart = DictationErrorCode::noMicrophone;
  controller->handle(press);
  controller->handle(release);
  controller->handle(lockEvent);
  test::spinFor(0.05);
  EXPECT_EQ(states, (std::vector<DictationState>{Failed{"No microphone found."}}));
  EXPECT_EQ(audio->stops, 0);
  EXPECT_FALSE(controller->listeningSince().has_value());
  EXPECT_TRUE(transcriber->opened.empty());
}

TEST_F(ControllerTest, LockedOnlyWhileListening) {
  controller->handle(lockEvent);
  EXPECT_TRUE(states.empty());
  controller->handle(press);
  controller->handle(lockEvent);
  EXPECT_EQ(states, (std::vector<DictationState>{Listening{}, Locked{}}));
  EXPECT_TRUE(controller->listening());
}

TEST_F(ControllerTest, ShortTakesAreDiscardedAndTheBoundaryIsAccepted) {
  controller->handle(press);
  audio->deliver(levelBuffer(9600, 0.1f));  // 0.2 s
  controller->handle(release);
  ASSERT_TRUE(waitForStates(2));
  EXPECT_EQ(states[1], DictationState(Discarded{AbortReason::tooShort}));
  ASSERT_TRUE(test::spinUntil([&] { return transcriber->opened.at(0)->cancelled.load(); }));
  EXPECT_FALSE(transcriber->opened[0]->finished);

  states.clear();
  controller->handle(press);
  audio->deliver(levelBuffer(12000, 0.1f));  // exactly 0.25 s
  controller->handle(release);
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states[1], DictationState(Working{}));
}

TEST_F(ControllerTest, SilenceFailsAndIsLoggedWhileTheThresholdItselfIsHeard) {
  dictate(0.5, 0.0004f);
  ASSERT_TRUE(waitForStates(2));
  EXPECT_EQ(states[1], DictationState(Failed{"Heard only silence. Check the microphone permission."}));
  ASSERT_TRUE(test::spinUntil([&] { return transcriber->opened.at(0)->cancelled.load(); }));
  // 0.0004f widened to double prints as 0.000399999…
  EXPECT_TRUE(logText().contains(QStringLiteral("audio: silent buffer (rms 0.0003999")));
  EXPECT_TRUE(logText().contains(QStringLiteral("). Mic permission is usually the cause.")));
  EXPECT_TRUE(records.empty());

  // A level exactly at the threshold is not silence (0.25 squares and sums exactly).
  states.clear();
  controller->silenceRMS = 0.25;
  dictate(0.5, 0.25f);
  ASSERT_TRUE(waitForStates(2));
  EXPECT_EQ(states[1], DictationState(Working{}));
}

TEST_F(ControllerTest, AbortCancelsTheSessionAndNeverFinishesIt) {
  transcriber->beginDelay = 50ms;  // the abort comes before the session exists
  controller->handle(press);
  audio->deliver(levelBuffer(48000, 0.1f));
  controller->handle(hotkey_event::Aborted{AbortReason::cancelled});
  EXPECT_EQ(states, (std::vector<DictationState>{Listening{}, Discarded{AbortReason::cancelled}}));
  ASSERT_TRUE(test::spinUntil([&] { return !transcriber->opened.empty() && transcriber->opened[0]->cancelled; }));
  EXPECT_FALSE(transcriber->opened[0]->finished);
  EXPECT_EQ(audio->stops, 1);
}

TEST_F(ControllerTest, EmptyTextIsNotInsertedOrKept) {
  auto session = std::make_shared<test::FakeSession>();
  session->transcript = "";
  transcriber->sessions = {session};
  dictate();
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states[2], DictationState(Failed{"Didn't catch that."}));
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(inserter->texts.empty());
  EXPECT_TRUE(history->recent(10).empty());
  EXPECT_FALSE(controller->lastText().has_value());
}

TEST_F(ControllerTest, FailedSessionOpenStillPassesTheChecksThenFails) {
  transcriber->failBegin = true;
  dictate();
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states[1], DictationState(Working{}));
  EXPECT_EQ(states[2], DictationState(Failed{"Couldn't turn that into text."}));
  EXPECT_TRUE(logText().contains("speech: session start failed: no decoder"));
}

TEST_F(ControllerTest, FailedFinishIsLoggedAndReported) {
  auto session = std::make_shared<test::FakeSession>();
  session->failFinish = true;
  transcriber->sessions = {session};
  dictate();
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states[2], DictationState(Failed{"Couldn't turn that into text."}));
  EXPECT_TRUE(logText().contains("speech: finish failed: decoder fell over"));
  EXPECT_TRUE(records.empty());
}

TEST_F(ControllerTest, SecureInputGivesARecordButNoHistory) {
  inserter->outcome = insert_outcome::HeldBack{FocusVerdict::secureInput};
  dictate();
  ASSERT_TRUE(waitForStates(3));
  EXPECT_EQ(states[2], DictationState(Done{insert_outcome::HeldBack{FocusVerdict::secureInput}}));
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(controller->lastText(), QString("hello world"));
  EXPECT_TRUE(history->recent(10).empty());

  // Other held-back outcomes are kept.
  states.clear();
  inserter->outcome = insert_outcome::HeldBack{FocusVerdict::notText};
  dictate();
  ASSERT_TRUE(waitForStates(3));
  ASSERT_EQ(history->recent(10).size(), 1u);
  EXPECT_EQ(history->recent(10)[0].outcome, "held back: notText");
}

TEST_F(ControllerTest, TimingLineWithAndWithoutNote) {
  dictate();
  ASSERT_TRUE(waitForStates(3));
  cleaner->result = CleanupResult{"Hello world.", CleanupResult::Kind::rules, "timeout"};
  states.clear();
  dictate();
  ASSERT_TRUE(waitForStates(3));
  const QString log = logText();
  static const QRegularExpression plain(
      R"(dictation 0\.5s stt \d+ms cleanup \d+ms \(rules\) total \d+ms -> pasted\n)");
  static const QRegularExpression noted(
      R"(dictation 0\.5s stt \d+ms cleanup \d+ms \(rules, timeout\) total \d+ms -> pasted\n)");
  EXPECT_TRUE(plain.match(log).hasMatch()) << log.toStdString();
  EXPECT_TRUE(noted.match(log).hasMatch()) << log.toStdString();
}

TEST_F(ControllerTest, DictationsAreInsertedInPressOrder) {
  auto slow = std::make_shared<test::FakeSession>();
  slow->transcript = "first";
  slow->finishDelay = 200ms;
  auto fast = std::make_shared<test::FakeSession>();
  fast->transcript = "second";
  transcriber->sessions = {slow, fast};

  dictate();
  dictate();
  ASSERT_TRUE(test::spinUntil([&] { return records.size() == 2; }));
  EXPECT_TRUE(fast->finished);
  EXPECT_EQ(inserter->texts, (std::vector<QString>{"first", "second"}));
  EXPECT_EQ(records[0].text, "first");
  EXPECT_EQ(records[1].text, "second");
  EXPECT_EQ(states, (std::vector<DictationState>{Listening{}, Working{}, Listening{}, Working{},
                                                 Done{insert_outcome::Pasted{}},
                                                 Done{insert_outcome::Pasted{}}}));
  auto entries = history->recent(10);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "second");
}

TEST_F(ControllerTest, PartialWordsOnlyFlowWhileTheirPressIsListening) {
  controller->handle(press);
  ASSERT_EQ(transcriber->partials.size(), 1u);
  auto firstForward = transcriber->partials[0];
  firstForward({{"live", 0.9, false}});
  ASSERT_TRUE(test::spinUntil([&] { return partials.size() == 1; }));

  audio->deliverFromThread(0.5, 0.1f);
  controller->handle(release);
  firstForward({{"late", 0.9, false}});  // after release

  controller->handle(press);  // a new generation is listening
  firstForward({{"stale", 0.9, false}});
  transcriber->partials[1]({{"fresh", 0.9, false}});
  ASSERT_TRUE(test::spinUntil([&] { return partials.size() == 2; }));
  test::spinFor(0.05);
  ASSERT_EQ(partials.size(), 2u);
  EXPECT_EQ(partials[0][0].text, "live");
  EXPECT_EQ(partials[1][0].text, "fresh");
}

TEST_F(ControllerTest, PartialWordsFromAnotherThreadReachTheMainThread) {
  controller->handle(press);
  std::thread([forward = transcriber->partials[0]] { forward({{"threaded", 0.5, true}}); }).join();
  ASSERT_TRUE(test::spinUntil([&] { return partials.size() == 1; }));
  EXPECT_EQ(partials[0][0].text, "threaded");
}

TEST_F(ControllerTest, ControllerGoneMidDictationReportsNothing) {
  auto session = std::make_shared<test::FakeSession>();
  session->finishDelay = 100ms;
  transcriber->sessions = {session};
  dictate();
  ASSERT_TRUE(waitForStates(2));
  auto forward = transcriber->partials[0];
  controller.reset();
  forward({{"orphan", 0.9, false}});
  test::spinFor(0.3);
  EXPECT_EQ(states.size(), 2u);
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(inserter->texts.empty());
  EXPECT_TRUE(partials.empty());
  audio->deliver(levelBuffer(480, 0.1f));  // a late buffer after the controller is gone
}

TEST_F(ControllerTest, LevelsReadZeroWhenNotListening) {
  controller->handle(press);
  audio->deliver(levelBuffer(480, 0.5f));
  EXPECT_DOUBLE_EQ(controller->level(), 0.5);
  EXPECT_DOUBLE_EQ(controller->peakLevel(), 0.5);
  EXPECT_TRUE(controller->listeningSince().has_value());
  controller->handle(hotkey_event::Aborted{AbortReason::combo});
  EXPECT_EQ(controller->level(), 0.0);
  EXPECT_EQ(controller->peakLevel(), 0.0);
}

}  // namespace
}  // namespace talvo
