#include "audio/mic/mic_source.h"
#include "audio/mic/pulse_audio_system.h"
#include "controller/dictation_controller.h"
#include "support/log_capture.h"
#include "pulse_server.h"
#include "speech/sphinx_transcriber.h"
#include "support/task_runner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <set>

namespace talvo {
namespace {

using test::PulseServer;

const QString kClip = "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0890.wav";
const QString kSaid = "unless to be rather cold hearted and rather selfish is to be ill disposed";

class KeepText : public Cleaner {
public:
  AIStatus status() const override { return AIStatus::disabledByUser; }
  void prewarm(QStringList) override {}
  QCoro::Task<CleanupResult> clean(QString text, QStringList) override {
    co_return CleanupResult{text, CleanupResult::Kind::rules, QStringLiteral("disabledByUser")};
  }
};

class CapturingInserter : public Inserter {
public:
  InsertOutcome insert(const QString& text) override {
    texts << text;
    return insert_outcome::Pasted{};
  }
  QStringList texts;
};

// The share of the reference words that the recogniser heard, in any order.
double recall(const QString& heard, const QString& said) {
  const QStringList heardWords = heard.toLower().split(' ', Qt::SkipEmptyParts);
  const std::set<QString> got(heardWords.begin(), heardWords.end());
  const QStringList want = said.split(' ', Qt::SkipEmptyParts);
  const auto found = std::count_if(want.begin(), want.end(), [&](const QString& w) { return got.count(w) > 0; });
  return double(found) / double(want.size());
}

// Speech played into the virtual microphone between a press and a release goes through
// the controller and the real recogniser into a record.
TEST(LiveDictation, SpeechIntoTheMicrophoneBecomesARecord) {
  test::LogCapture log;
  PulseServer server(PulseServer::virtualMicrophone());
  ASSERT_TRUE(server.running()) << server.log().toStdString();

  auto mic = MicSource::create(makePulseAudioSystem(), QString("vmic"));
  mic->prepare();
  auto transcriber = std::make_shared<speech::SphinxTranscriber>();
  test::run(transcriber->prepare(mic->format()));
  auto inserter = std::make_shared<CapturingInserter>();
  auto controller = DictationController::create(
      {mic, transcriber, std::make_shared<KeepText>(), inserter, nullptr, [] { return UserDictionary{}; }});
  std::optional<DictationRecord> record;
  controller->onRecord = [&](const DictationRecord& r) { record = r; };

  QElapsedTimer held;
  held.start();
  controller->handle(hotkey_event::Pressed{});
  ASSERT_TRUE(mic->running());
  test::spinFor(0.2);
  QProcess speaker;
  speaker.start("paplay", {"-d", "vmic_uplink", kClip});
  ASSERT_TRUE(test::spinUntil([&] { return speaker.state() == QProcess::NotRunning; }, 30));
  test::spinFor(0.4);
  controller->handle(hotkey_event::Released{held.elapsed() / 1000.0});

  ASSERT_TRUE(test::spinUntil([&] { return record.has_value(); }, 60)) << log.messages().join('\n').toStdString();
  EXPECT_FALSE(mic->running());
  EXPECT_GT(record->seconds, 5.0);
  EXPECT_GE(recall(record->raw, kSaid), 0.6) << record->raw.toStdString();
  EXPECT_EQ(inserter->texts, QStringList{record->text});
}

}  // namespace
}  // namespace talvo
