#include "speech/sphinx_transcriber.h"

#include "pipeline/errors.h"
#include "replay/word_error_rate.h"
#include "support/task_runner.h"
#include "wav_clips.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

namespace talvo::speech {
namespace {

const QString shortClip = QStringLiteral("sense_and_sensibility_01_austen_64kb-0880");
const QString longClip = QStringLiteral("sense_and_sensibility_01_austen_64kb-0870");

double errorRate(const QString& clip, const QString& text) {
  return wordErrorRate(test::referenceText(clip), text);
}

void appendAll(TranscriptionSession& session, const std::vector<AudioBuffer>& buffers) {
  for (const AudioBuffer& b : buffers) session.append(b);
}

// One warm transcriber for the suite: loading the model is the slow part.
class SphinxTranscriberTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    transcriber = std::make_shared<SphinxTranscriber>();
    test::run(transcriber->prepare(floatFormat(48000, 1)));
  }
  static void TearDownTestSuite() { transcriber.reset(); }

  static QString transcribe(const std::vector<AudioBuffer>& buffers, QStringList terms = {}) {
    auto session = test::run(transcriber->begin(terms, buffers.front().format(), {}));
    appendAll(*session, buffers);
    return test::run(session->finish());
  }

  static inline std::shared_ptr<SphinxTranscriber> transcriber;
};

TEST_F(SphinxTranscriberTest, StreamedSpeechGivesLiveWordsThenACloseTranscript) {
  ASSERT_EQ(transcriber->idleDecoders(), 1u);
  std::atomic<int> partials{0};
  auto session = test::run(transcriber->begin({}, floatFormat(16000, 1), [&](auto) { ++partials; }));
  EXPECT_EQ(transcriber->idleDecoders(), 0u);
  appendAll(*session, test::readClip(test::clipPath(longClip)));
  // Live words arrive while audio is still coming, before finish.
  EXPECT_TRUE(test::spinUntil([&] { return partials > 0; }, 30));
  EXPECT_TRUE(session->recognizedWords().empty());

  const QString text = test::run(session->finish());
  EXPECT_LT(errorRate(longClip, text), 0.5) << text.toStdString();
  const auto words = session->recognizedWords();
  ASSERT_FALSE(words.empty());
  for (const SpokenWord& w : words) {
    EXPECT_FALSE(w.text.contains(u'(') || w.text.startsWith(u'<') || w.text.startsWith(u'['))
        << w.text.toStdString();
    ASSERT_TRUE(w.confidence.has_value());
    EXPECT_GE(*w.confidence, 0.0);
    EXPECT_LE(*w.confidence, 1.0);
  }
  EXPECT_FALSE(words.back().unsure);
  EXPECT_EQ(transcriber->idleDecoders(), 1u);  // back in the pool for the next press
}

TEST_F(SphinxTranscriberTest, StereoAt44100IsConverted) {
  QTemporaryDir dir;
  const QString stereo = dir.filePath("stereo.wav");
  ASSERT_EQ(QProcess::execute("sox", {test::clipPath(shortClip), "-r", "44100", "-c", "2", stereo}), 0);
  const QString text = transcribe(test::readClip(stereo));
  EXPECT_LT(errorRate(shortClip, text), 0.6) << text.toStdString();
}

TEST_F(SphinxTranscriberTest, CancelStopsAtOnceAndKeepsNoWords) {
  std::atomic<int> partials{0};
  auto session = test::run(transcriber->begin({}, floatFormat(16000, 1), [&](auto) { ++partials; }));
  appendAll(*session, test::readClip(test::clipPath(longClip)));
  test::run(session->cancel());
  const int atCancel = partials;
  test::spinFor(0.2);
  EXPECT_EQ(partials, atCancel);
  EXPECT_TRUE(session->recognizedWords().empty());
  session->append(test::readClip(test::clipPath(shortClip)).front());  // ignored, no crash
  EXPECT_EQ(transcriber->idleDecoders(), 1u);
}

TEST_F(SphinxTranscriberTest, OverlappingSessionsEachGetADecoder) {
  const auto buffers = test::readClip(test::clipPath(shortClip));
  auto first = test::run(transcriber->begin({}, floatFormat(16000, 1), {}));
  auto second = test::run(transcriber->begin({}, floatFormat(16000, 1), {}));
  appendAll(*first, buffers);
  appendAll(*second, buffers);
  // A fresh decoder has not yet adapted to the speaker, so the words may differ a little.
  for (const QString& text : {test::run(first->finish()), test::run(second->finish())})
    EXPECT_LT(errorRate(shortClip, text), 0.6) << text.toStdString();
  EXPECT_EQ(transcriber->idleDecoders(), 1u);  // the spare is freed, not kept
}

TEST_F(SphinxTranscriberTest, TermsOfKnownWordsAreFavouredAndOthersIgnored) {
  const auto buffers = test::readClip(test::clipPath(longClip));
  const QString text = transcribe(buffers, {"prudently", "Qzxvtalvo", "John Dashwood"});
  EXPECT_TRUE(text.contains("prudently")) << text.toStdString();
  EXPECT_TRUE(text.contains("John Dashwood")) << text.toStdString();
  // A later session without those terms must not be biased by them.
  const QString plain = transcribe(buffers);
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
  auto transcriber = std::make_shared<SphinxTranscriber>(
      SphinxTranscriber::Options{empty.path() + "/none", 1});
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
  EXPECT_EQ(refusal(AudioFormat{16000, 1, SampleType::int16, false}), DictationErrorCode::noAudioFormat);
  EXPECT_THROW(test::run(transcriber->ensureModel()), DictationError);
}

}  // namespace
}  // namespace talvo::speech
