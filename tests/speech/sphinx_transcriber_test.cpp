#include "speech/sphinx_transcriber.h"

#include "audio/file/file_audio_source.h"
#include "pipeline/errors.h"
#include "replay/word_error_rate.h"
#include "support/task_runner.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <utility>

namespace talvo::speech {
namespace {

// LibriVox clips from pocketsphinx-testdata, with what is said in them.
const QString librivox = QStringLiteral(
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-");
const QString shortClip = librivox + "0880.wav";
const QString longClip = librivox + "0870.wav";
const QString shortSaid = QStringLiteral("he was not an ill disposed young man");
const QString longSaid = QStringLiteral(
    "and mister john dashwood had then leisure to consider how much there might be prudently in "
    "his power to do for them");

// Feeds the clip into the session as the file source delivers it, as fast as it can.
void feed(TranscriptionSession& session, const QString& clip) {
  FileAudioSource source(clip, 0);
  std::promise<void> finished;
  source.setOnBuffer([&](const AudioBuffer& b) { session.append(b); });
  source.setOnFinished([&] { finished.set_value(); });
  source.start();
  finished.get_future().wait();
  source.stop();
}

// One warm transcriber for the suite: loading the model is the slow part.
class SphinxTranscriberTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    transcriber = std::make_shared<SphinxTranscriber>();
    test::run(transcriber->prepare(floatFormat(48000, 1)));
  }
  static void TearDownTestSuite() { transcriber.reset(); }

  static QString transcribe(const QString& clip, QStringList terms = {}) {
    auto session = test::run(transcriber->begin(std::move(terms), floatFormat(16000, 1), {}));
    feed(*session, clip);
    return test::run(session->finish());
  }

  static inline std::shared_ptr<SphinxTranscriber> transcriber;
};

TEST_F(SphinxTranscriberTest, StreamedSpeechGivesLiveWordsThenACloseTranscript) {
  ASSERT_EQ(transcriber->idleDecoders(), 1u);
  std::atomic<int> partials{0};
  auto session =
      test::run(transcriber->begin({}, floatFormat(16000, 1), [&](auto) { ++partials; }));
  EXPECT_EQ(transcriber->idleDecoders(), 0u);
  feed(*session, longClip);
  // Live words arrive while audio is still coming, before finish.
  EXPECT_TRUE(test::spinUntil([&] { return partials > 0; }, 30));
  EXPECT_TRUE(session->recognizedWords().empty());

  const QString text = test::run(session->finish());
  EXPECT_LT(wordErrorRate(longSaid, text), 0.5) << text.toStdString();
  const auto words = session->recognizedWords();
  ASSERT_FALSE(words.empty());
  for (const SpokenWord& w : words)  // no "word(2)", "<sil>" or "[NOISE]"; a posterior for each
    EXPECT_TRUE(!w.text.contains(QRegularExpression("[(<\\[]")) && w.confidence.value_or(-1) >= 0 &&
                w.confidence.value_or(2) <= 1)
        << w.text.toStdString();
  EXPECT_FALSE(words.back().unsure);
  EXPECT_EQ(transcriber->idleDecoders(), 1u);  // back in the pool for the next press
}

TEST_F(SphinxTranscriberTest, CancelStopsAtOnceAndKeepsNoWords) {
  std::atomic<int> partials{0};
  auto session =
      test::run(transcriber->begin({}, floatFormat(16000, 1), [&](auto) { ++partials; }));
  feed(*session, longClip);
  test::run(session->cancel());
  const int atCancel = partials;
  test::spinFor(0.2);
  EXPECT_EQ(partials, atCancel);
  EXPECT_TRUE(session->recognizedWords().empty());
  feed(*session, shortClip);  // ignored, no crash
  EXPECT_EQ(transcriber->idleDecoders(), 1u);
}

TEST_F(SphinxTranscriberTest, OverlappingSessionsEachGetADecoder) {
  auto first = test::run(transcriber->begin({}, floatFormat(16000, 1), {}));
  auto second = test::run(transcriber->begin({}, floatFormat(16000, 1), {}));
  feed(*first, shortClip);
  feed(*second, shortClip);
  // A fresh decoder has not yet adapted to the speaker, so the words may differ a little.
  for (const QString& text : {test::run(first->finish()), test::run(second->finish())})
    EXPECT_LT(wordErrorRate(shortSaid, text), 0.6) << text.toStdString();
  EXPECT_EQ(transcriber->idleDecoders(), 1u);  // the spare is freed, not kept
}

TEST_F(SphinxTranscriberTest, TermsOfKnownWordsAreFavouredAndOthersIgnored) {
  const QString text = transcribe(longClip, {"prudently", "Qzxvtalvo", "John Dashwood"});
  EXPECT_TRUE(text.contains("prudently")) << text.toStdString();
  EXPECT_TRUE(text.contains("John Dashwood")) << text.toStdString();
  // A later session without those terms must not be biased by them.
  const QString plain = transcribe(longClip);
  EXPECT_FALSE(plain.contains("John Dashwood")) << plain.toStdString();
}

// Loading still under way when the transcriber goes is waited for, not left running: at
// exit it would run on after the log and the libraries it uses are torn down.
TEST(SphinxTranscriberThreads, GoingWaitsForTheLoadingItStarted) {
  auto transcriber = std::make_shared<SphinxTranscriber>();
  QCoro::Task<> loading = transcriber->prepare(floatFormat(16000, 1));
  transcriber.reset();
  QCoreApplication::processEvents();  // hands over the finished load, resuming the task
  EXPECT_TRUE(loading.isReady());
  test::run(std::move(loading));
}

TEST(SphinxTranscriberModel, MissingModelOrUnusableFormatIsRefused) {
  QTemporaryDir empty;
  auto transcriber =
      std::make_shared<SphinxTranscriber>(SphinxTranscriber::Options{empty.path() + "/none", 1});
  test::run(transcriber->prepare(floatFormat(16000, 1)));  // logs, never throws
  auto refusal = [&](AudioFormat format) -> std::optional<DictationErrorCode> {
    try {
      test::run(transcriber->begin({}, format, {}));
    } catch (const DictationError& e) {
      return e.code();
    }
    return std::nullopt;
  };
  EXPECT_EQ(refusal(floatFormat(16000, 1)), DictationErrorCode::speechModelMissing);
  EXPECT_EQ(refusal(AudioFormat{16000, 1, SampleType::int16, false}),
            DictationErrorCode::noAudioFormat);
  EXPECT_THROW(test::run(transcriber->ensureModel()), DictationError);
}

}  // namespace
}  // namespace talvo::speech
