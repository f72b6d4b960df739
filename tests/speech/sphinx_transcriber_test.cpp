#include "speech/sphinx_transcriber.h"

#include "pipeline/audio_converter.h"
#include "pipeline/errors.h"
#include "support/task_runner.h"
#include "wav_clips.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace talvo::speech {
namespace {

const QString shortClip = QStringLiteral("sense_and_sensibility_01_austen_64kb-0880");
const QString longClip = QStringLiteral("sense_and_sensibility_01_austen_64kb-0870");

// Counts and keeps the live word lists a session reports, from whatever thread.
struct Partials {
  std::mutex mutex;
  std::atomic<int> count{0};
  std::vector<SpokenWord> last;

  Transcriber::PartialHandler handler() {
    return [this](std::vector<SpokenWord> words) {
      std::lock_guard lock(mutex);
      last = std::move(words);
      ++count;
    };
  }
};

void appendAll(TranscriptionSession& session, const std::vector<AudioBuffer>& buffers) {
  for (const AudioBuffer& b : buffers) session.append(b);
}

std::vector<AudioBuffer> toStereo44k(const std::vector<AudioBuffer>& mono16k) {
  const AudioFormat to = floatFormat(44100, 2);
  auto converter = AudioConverter::create(mono16k.front().format(), to);
  std::vector<AudioBuffer> out;
  for (const AudioBuffer& b : mono16k) {
    AudioBuffer o(to, AudioConverter::outputCapacity(to, b));
    bool handed = false;
    converter->convert(o, [&]() -> const AudioBuffer* {
      if (handed) return nullptr;
      handed = true;
      return &b;
    });
    if (o.frameLength() > 0) out.push_back(o);
  }
  return out;
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
  Partials partials;
  auto session = test::run(transcriber->begin({}, floatFormat(16000, 1), partials.handler()));
  EXPECT_EQ(transcriber->idleDecoders(), 0u);
  appendAll(*session, test::readClip(test::clipPath(longClip)));
  // Live words arrive while audio is still coming, before finish.
  EXPECT_TRUE(test::spinUntil([&] { return partials.count > 0; }, 30));
  EXPECT_TRUE(session->recognizedWords().empty());

  const QString text = test::run(session->finish());
  const double wer = test::wordErrorRate(test::referenceText(longClip), text);
  EXPECT_LT(wer, 0.5) << text.toStdString();

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
  const auto buffers = toStereo44k(test::readClip(test::clipPath(shortClip)));
  const QString text = transcribe(buffers);
  EXPECT_LT(test::wordErrorRate(test::referenceText(shortClip), text), 0.6) << text.toStdString();
}

TEST_F(SphinxTranscriberTest, CancelStopsAtOnceAndKeepsNoWords) {
  Partials partials;
  auto session = test::run(transcriber->begin({}, floatFormat(16000, 1), partials.handler()));
  appendAll(*session, test::readClip(test::clipPath(longClip)));
  test::run(session->cancel());
  const int atCancel = partials.count;
  test::spinFor(0.2);
  EXPECT_EQ(partials.count, atCancel);
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
  const QString a = test::run(first->finish());
  const QString b = test::run(second->finish());
  // A fresh decoder has not yet adapted to the speaker, so the words may differ a little.
  EXPECT_LT(test::wordErrorRate(test::referenceText(shortClip), a), 0.6) << a.toStdString();
  EXPECT_LT(test::wordErrorRate(test::referenceText(shortClip), b), 0.6) << b.toStdString();
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

TEST(SphinxTranscriberModel, MissingModelFolderMeansTheModelIsMissing) {
  QTemporaryDir empty;
  auto transcriber = std::make_shared<SphinxTranscriber>(
      SphinxTranscriber::Options{empty.path() + "/none", 1});
  test::run(transcriber->prepare(floatFormat(16000, 1)));  // logs, never throws
  try {
    test::run(transcriber->begin({}, floatFormat(16000, 1), {}));
    FAIL() << "a session opened without a model";
  } catch (const DictationError& e) {
    EXPECT_EQ(e.code(), DictationErrorCode::speechModelMissing);
    EXPECT_EQ(e.message(), "The speech model isn't downloaded yet.");
  }
  EXPECT_THROW(test::run(transcriber->ensureModel()), DictationError);
}

TEST(SphinxTranscriberModel, UnusableFormatIsRefused) {
  QTemporaryDir empty;
  auto transcriber = std::make_shared<SphinxTranscriber>(SphinxTranscriber::Options{empty.path(), 1});
  try {
    test::run(transcriber->begin({}, AudioFormat{16000, 1, SampleType::int16, false}, {}));
    FAIL() << "a session opened for integer audio";
  } catch (const DictationError& e) {
    EXPECT_EQ(e.code(), DictationErrorCode::noAudioFormat);
  }
}

}  // namespace
}  // namespace talvo::speech
