#include "controller/dictation_controller.h"
#include "support/fakes.h"
#include "support/log_capture.h"
#include "support/task_runner.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>

namespace talvo {
namespace {

using insert_outcome::HeldBack;
using Kind = CleanupResult::Kind;
using test::levelBuffer;

const HotkeyEvent press = hotkey_event::Pressed{};
const HotkeyEvent release = hotkey_event::Released{1.0};
const AudioBuffer tenMs = levelBuffer(480, 0.1f);
const QString listening = "listening", working = "working", pasted = "done(pasted)";

class ControllerTest : public ::testing::Test {
public:  // the table's set-up steps reach in
  void SetUp() override {
    controller->onState = [this](const DictationState& s) { states << toString(s); };
    controller->onRecord = [this](const DictationRecord& r) { records.push_back(r); };
    controller->onPartial = [this](const std::vector<SpokenWord>& w) { partials << w.at(0).text; };
  }
  // A press, half a second of audio from a capture thread, and a release.
  void dictate() {
    controller->handle(press);
    audio->deliver(tenMs, 50);
    controller->handle(release);
  }
  static bool until(const std::function<bool()>& done) { return test::spinUntil(done); }

  // What the dictations left behind, in a fixed order; millisecond figures read "N".
  QString observed() const {
    QStringList seen = states;
    for (const QString& text : cleaner->cleaned) seen << "cleaned " + text;
    for (const QString& text : inserter->texts) seen << "inserted " + text;
    for (const History::Entry& e : history->recent(10))
      seen << QString("kept %1 (%2, %3, %4s): %5")
                  .arg(e.text, e.raw, e.cleanup, QString::number(e.seconds), e.outcome);
    for (const auto& session : transcriber->sessions) {
      if (session->finished) seen << "finished";
      if (session->cancelled) seen << "cancelled";
    }
    seen << logs.messages().replaceInStrings(QRegularExpression(R"(\d+ms)"), "Nms");
    return seen.join(" | ");
  }

  test::LogCapture logs;
  std::shared_ptr<test::FakeAudioSource> audio = std::make_shared<test::FakeAudioSource>();
  std::shared_ptr<test::FakeTranscriber> transcriber = std::make_shared<test::FakeTranscriber>();
  std::shared_ptr<test::FakeCleaner> cleaner = std::make_shared<test::FakeCleaner>();
  std::shared_ptr<test::FakeInserter> inserter = std::make_shared<test::FakeInserter>();
  std::shared_ptr<History> history = std::make_shared<History>(logs.filePath("history.jsonl"), 50);
  UserDictionary dictionary{{"Vorlith"}, {{"world", "World"}}};
  std::shared_ptr<DictationController> controller = DictationController::create(
      {audio, transcriber, cleaner, inserter, history, [this] { return dictionary; }});
  QStringList states;
  std::vector<DictationRecord> records;
  QStringList partials;
};

// One press, its audio, the closing events; the session opens only after those.
struct Take {
  const char* name;
  std::function<void(ControllerTest&)> arrange = {};
  QString expected = {};  // as observed()
  AudioBuffer audio = tenMs;
  int times = 50;
  std::vector<HotkeyEvent> end = {release};
};
void PrintTo(const Take& t, std::ostream* os) { *os << t.name; }

// What an accepted half-second take of "hello world" leaves behind, `text` being inserted.
QString accepted(const QString& text = "hello World", const QString& outcome = "pasted",
                 bool kept = true, const QString& kind = "rules", const QString& note = "") {
  QString all = QString("listening | working | done(%1) | cleaned hello World | inserted %2 | ")
                    .arg(outcome, text);
  if (kept) all += QString("kept %1 (hello world, %2, 0.5s): %3 | ").arg(text, kind, outcome);
  return all + QString("finished | dictation 0.5s stt Nms cleanup Nms (%1%2) total Nms -> %3")
                   .arg(kind, note, outcome);
}

const QString couldNot = "listening | working | failed(Couldn't turn that into text.) | ";

const Take takes[] = {
    {.name = "Accepted", .expected = accepted()},
    {.name = "StartFails",
     .arrange = [](auto& t) { t.audio->failStart = DictationErrorCode::noMicrophone; },
     .expected = "failed(No microphone found.)",
     .end = {release, hotkey_event::Locked{}}},
    {.name = "TooShort",
     .expected = "listening | discarded(tooShort) | cancelled",
     .audio = levelBuffer(9600, 0.1f),
     .times = 1},
    {.name = "JustLongEnough",
     .expected = accepted().replace("0.5s)", "0.25s)").replace("0.5s stt", "0.3s stt"),
     .audio = levelBuffer(12000, 0.1f),
     .times = 1},
    {.name = "Aborted",
     .expected = "listening | discarded(cancelled) | cancelled",
     .end = {hotkey_event::Aborted{AbortReason::cancelled}}},
    {.name = "LockedThenReleased",
     .expected = accepted().replace("listening |", "listening | locked |"),
     .end = {hotkey_event::Locked{}, release}},
    {.name = "Silent",
     .expected = "listening | failed(Heard only silence. Check the microphone permission.) | "
                 "cancelled | audio: silent buffer (rms 0.000244140625). Mic permission is "
                 "usually the cause.",
     .audio = levelBuffer(480, 0x1p-12f)},
    {.name = "QuietVoice", .expected = accepted(), .audio = levelBuffer(480, 0.001f)},
    {.name = "AtTheSilenceLevel",
     .arrange = [](auto& t) { t.controller->silenceRMS = 0.25; },
     .expected = accepted(),
     .audio = levelBuffer(480, 0.25f)},
    {.name = "NothingHeard",
     .arrange = [](auto& t) { t.transcriber->session(0)->transcript = ""; },
     .expected = "listening | working | failed(Didn't catch that.) | cleaned  | finished"},
    {.name = "SessionWontOpen",
     .arrange = [](auto& t) { t.transcriber->failBegin = true; },
     .expected = couldNot + "speech: session start failed: no decoder"},
    {.name = "FinishFails",
     .arrange = [](auto& t) { t.transcriber->session(0)->failFinish = true; },
     .expected = couldNot + "speech: finish failed: decoder fell over"},
    {.name = "PasswordField",
     .arrange = [](auto& t) { t.inserter->outcome = HeldBack{FocusVerdict::secureInput}; },
     .expected = accepted("hello World", "held back: secureInput", false)},
    {.name = "NotATextField",
     .arrange = [](auto& t) { t.inserter->outcome = HeldBack{FocusVerdict::notText}; },
     .expected = accepted("hello World", "held back: notText")},
    {.name = "CleanerNote",
     .arrange =
         [](auto& t) {
           t.cleaner->result = {"Hi.", Kind::ai, "short"};
         },
     .expected = accepted("Hi.", "pasted", true, "ai", ", short")},
    // The dictionary's spelling wins over whatever the cleaner wrote.
    {.name = "DictionaryAfterCleanup",
     .arrange =
         [](auto& t) {
           t.cleaner->result = {"ask vorlith", Kind::rules, ""};
         },
     .expected = accepted("ask Vorlith")},
};

class TakeTest : public ControllerTest, public ::testing::WithParamInterface<Take> {};

TEST_P(TakeTest, LeavesWhatItShould) {
  const Take& take = GetParam();
  const auto session = transcriber->session(0);
  session->opening.close();
  if (take.arrange) take.arrange(*this);
  controller->handle(press);
  audio->deliver(take.audio, take.times);
  const bool listened =
      controller->listeningSince() && controller->level() > 0 && controller->peakLevel() > 0;
  for (const HotkeyEvent& event : take.end) controller->handle(event);
  session->opening.open();
  until([&] { return observed() == take.expected; });
  EXPECT_EQ(observed(), take.expected);
  const bool started = take.expected.startsWith(listening);
  EXPECT_EQ(audio->stops, started ? 1 : 0);
  EXPECT_EQ(listened, started);  // levels read 0 unless listening
  EXPECT_FALSE(controller->listening() || controller->listeningSince());
  EXPECT_EQ(controller->level() + controller->peakLevel(), 0.0);
  EXPECT_EQ(cleaner->prewarmed, (std::vector<QStringList>{{"Vorlith", "World"}}));
  EXPECT_EQ(transcriber->termsSeen, started ? cleaner->prewarmed : std::vector<QStringList>{});
  EXPECT_EQ(controller->lastText().value_or(""), records.empty() ? "" : records[0].text);
  ASSERT_EQ(records.size(), inserter->texts.size());
  for (const DictationRecord& r : records) {
    EXPECT_EQ(r.raw, session->transcript);
    EXPECT_EQ(r.words, session->words);
    EXPECT_GE(r.totalMs, r.sttMs);
  }
}

INSTANTIATE_TEST_SUITE_P(Takes, TakeTest, ::testing::ValuesIn(takes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, RecordAndHistoryNameTheEngineThatHeardIt) {
  transcriber->session(0)->engineUsed = SpeechEngine::server;
  dictate();
  ASSERT_TRUE(until([&] { return records.size() == 1; }));
  dictate();
  ASSERT_TRUE(until([&] { return records.size() == 2; }));
  EXPECT_EQ(records[0].engine, SpeechEngine::server);
  EXPECT_EQ(records[1].engine, SpeechEngine::recogniser);
  const std::vector<History::Entry> kept = history->recent(2);  // newest first
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[1].engine, "server");
  EXPECT_EQ(kept[0].engine, "pocketsphinx");
}

// The first take's session opens after the next press, and its transcript comes last: still
// each session gets exactly its own take's audio, and the texts go in in press order.
TEST_F(ControllerTest, OverlappingTakesKeepTheirAudioAndTheirOrder) {
  const auto first = transcriber->session(0);
  const auto second = transcriber->session(1);
  first->transcript = "first";
  second->transcript = "second";
  for (test::Gate* gate : {&first->opening, &first->finishing, &second->opening}) gate->close();
  dictate();
  controller->handle(press);
  audio->deliver(tenMs, 10);
  first->opening.open();
  ASSERT_TRUE(until([&] { return first->frames > 0; }));
  audio->deliver(tenMs, 20);
  second->opening.open();
  controller->handle(release);
  ASSERT_TRUE(until([&] { return cleaner->cleaned.size() == 1; }));
  test::spinFor(0.05);  // room for a wrongly eager insertion of the second take
  first->finishing.open();
  ASSERT_TRUE(until([&] { return records.size() == 2; }));
  EXPECT_EQ(first->frames, 24000);
  EXPECT_EQ(second->frames, 14400);
  EXPECT_EQ(inserter->texts, (std::vector<QString>{"first", "second"}));
  EXPECT_EQ(states, (QStringList{listening, working, listening, working, pasted, pasted}));
}

TEST_F(ControllerTest, LiveWordsFlowOnlyWhileTheirPressIsListening) {
  controller->handle(press);
  const auto first = transcriber->partials.at(0);
  std::thread([&] { first({{"live", 0.9, false}}); }).join();  // from the recogniser's thread
  ASSERT_TRUE(until([&] { return partials.size() == 1; }));
  controller->handle(release);
  first({{"late", 0.9, false}});
  QCoreApplication::processEvents();
  controller->handle(press);
  first({{"stale", 0.9, false}});
  transcriber->partials.at(1)({{"fresh", 0.9, false}});
  ASSERT_TRUE(until([&] { return partials.size() == 2; }));
  EXPECT_EQ(partials, (QStringList{"live", "fresh"}));
}

TEST_F(ControllerTest, ControllerGoneMidDictationReportsNothing) {
  transcriber->session(0)->finishing.close();
  dictate();
  const auto forward = transcriber->partials.at(0);
  controller.reset();
  forward({{"orphan", 0.9, false}});
  transcriber->session(0)->finishing.open();
  ASSERT_TRUE(until([&] { return !cleaner->cleaned.empty(); }));
  test::spinFor(0.05);  // room for a wrongly delivered report
  EXPECT_EQ(observed(), "listening | working | cleaned hello World | finished");
  EXPECT_TRUE(records.empty() && partials.isEmpty());
  audio->deliver(tenMs);  // a late buffer finds the feeder, which outlives the controller
}

}  // namespace
}  // namespace talvo
