// The speech server in front of a fake recogniser, against the suite's loopback server.
#include "speech/server_exchange.h"
#include "speech/server_transcriber.h"
#include "speech/wav_take.h"
#include "support/fakes.h"
#include "support/log_capture.h"
#include "support/loopback_http.h"
#include "support/task_runner.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using speech::ServerTranscriber;
using test::LoopbackHttp;

const QByteArray kRoot = "/";
const QByteArray kInference = "/inference";
const QString kRecognised = QStringLiteral("hello world");  // what the fake recogniser heard
constexpr uint32_t kBufferFrames = 1024;

// A port on 127.0.0.1 where nothing listens.
QUrl refusingEndpoint() {
  LoopbackHttp closed;
  closed.close();
  return closed.url(kInference);
}

struct Dictation {
  std::shared_ptr<TranscriptionSession> session;
  QString text;
  std::vector<SpokenWord> words;
  SpeechEngine engine = SpeechEngine::recogniser;
};

// The fields of a multipart form, by name.
QMap<QByteArray, QByteArray> formFields(const QByteArray& body) {
  QMap<QByteArray, QByteArray> fields;
  const QByteArray delimiter = body.left(body.indexOf("\r\n"));
  if (!delimiter.startsWith("--")) return fields;
  for (qsizetype from = 0, next = 0; (next = body.indexOf(delimiter, from + 1)) > 0; from = next) {
    const QByteArray part = body.mid(from + delimiter.size(), next - from - delimiter.size());
    const qsizetype headEnd = part.indexOf("\r\n\r\n");
    const qsizetype nameAt = part.indexOf("name=\"");
    if (headEnd < 0 || nameAt < 0 || nameAt > headEnd) continue;
    const QByteArray name = part.mid(nameAt + 6, part.indexOf('"', nameAt + 6) - nameAt - 6);
    fields[name] = part.mid(headEnd + 4).chopped(2);  // the line break before the delimiter
  }
  return fields;
}

template <typename T>
T at(const QByteArray& wav, qsizetype offset) {
  return qFromLittleEndian<T>(wav.constData() + offset);
}

class ServerTranscriberTest : public ::testing::Test {
protected:
  void SetUp() override { server.script(kRoot, {.body = "<html>whisper</html>"}); }

  std::shared_ptr<ServerTranscriber> make(ServerTranscriber::Options options) {
    if (options.endpoint.isEmpty()) options.endpoint = server.url(kInference);
    return ServerTranscriber::create(recogniser, std::move(options));
  }
  // A transcriber whose probe has already found the server up.
  std::shared_ptr<ServerTranscriber> ready(ServerTranscriber::Options options = {}) {
    auto transcriber = make(std::move(options));
    EXPECT_TRUE(test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::ready; }));
    return transcriber;
  }
  void answerWith(const QByteArray& json) { server.script(kInference, {.body = json}); }

  // One press and release with `buffers` buffers of 0.5 from a thread of its own.
  Dictation dictate(const std::shared_ptr<ServerTranscriber>& transcriber, int buffers = 47,
                    AudioFormat format = floatFormat(48000, 1), QStringList terms = {}) {
    Dictation d;
    d.session = test::run(transcriber->begin(terms, format, {}));
    AudioBuffer buffer = test::levelBuffer(kBufferFrames, 0.5f, format.sampleRate, format.channels);
    std::thread([&] {
      for (int i = 0; i < buffers; ++i) d.session->append(buffer);
    }).join();
    d.text = test::run(d.session->finish());
    d.words = d.session->recognizedWords();
    d.engine = d.session->engine();
    return d;
  }

  void expectRecognisersText(const Dictation& d) {
    EXPECT_EQ(d.text, kRecognised);
    EXPECT_EQ(d.engine, SpeechEngine::recogniser);
    EXPECT_EQ(d.words, recogniser->session(0)->words);
  }

  test::LogCapture log;
  LoopbackHttp server;
  std::shared_ptr<test::FakeTranscriber> recogniser = std::make_shared<test::FakeTranscriber>();
};

// ---- the request ---------------------------------------------------------------------------

TEST_F(ServerTranscriberTest, RequestIsAMultipartFormWithTheTakeAsWav) {
  answerWith(R"({"text":"hello Vorlith"})");
  auto transcriber = ready({.model = QStringLiteral("large-v3")});
  const int buffers = 94;  // about two seconds at 48 kHz
  dictate(transcriber, buffers, floatFormat(48000, 1), {"Vorlith", "Kubernetes"});

  ASSERT_EQ(server.count(kInference), 1);
  const auto fields = formFields(server.last(kInference)->body);
  EXPECT_EQ(fields.value("response_format"), "json");
  EXPECT_EQ(fields.value("temperature"), "0");
  EXPECT_EQ(fields.value("model"), "large-v3");
  EXPECT_EQ(fields.value("prompt"), "Vorlith, Kubernetes");

  const QByteArray wav = fields.value("file");
  ASSERT_GE(wav.size(), 44);
  EXPECT_EQ(wav.left(4), "RIFF");
  EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(at<quint16>(wav, 20), 1);  // integer PCM
  EXPECT_EQ(at<quint16>(wav, 22), 1);  // mono
  EXPECT_EQ(at<quint32>(wav, 24), 16000u);
  EXPECT_EQ(at<quint16>(wav, 34), 16);
  EXPECT_EQ(wav.mid(36, 4), "data");
  const quint32 dataBytes = at<quint32>(wav, 40);
  EXPECT_EQ(qsizetype(dataBytes), wav.size() - 44);
  EXPECT_EQ(at<quint32>(wav, 4), 36 + dataBytes);
  const double taken = double(buffers) * kBufferFrames / 48000;
  EXPECT_NEAR(dataBytes / 2 / 16000.0, taken, double(kBufferFrames) / 48000);
  // The level survives the conversion: 0.5 in float is half of the 16-bit range.
  EXPECT_NEAR(at<qint16>(wav, 44 + qsizetype(dataBytes / 2) / 2 * 2), 16384, 4);
  // The recogniser got every buffer too.
  EXPECT_EQ(recogniser->session(0)->frames, int64_t(buffers) * kBufferFrames);
}

TEST_F(ServerTranscriberTest, NoTermsNoModelNoPrompt) {
  answerWith(R"({"text":"hello"})");
  dictate(ready());
  const auto fields = formFields(server.last(kInference)->body);
  EXPECT_FALSE(fields.contains("prompt"));
  EXPECT_FALSE(fields.contains("model"));
  EXPECT_TRUE(fields.contains("file"));
}

// Whatever the capture format, the file holds 16 kHz mono of the take's length.
TEST(WavTake, AnyFormatBecomesSixteenKilohertzMono) {
  for (const AudioFormat& format : {floatFormat(16000, 1), floatFormat(44100, 2), floatFormat(8000, 1)}) {
    speech::WavTake take;
    const AudioBuffer buffer = test::levelBuffer(kBufferFrames, -0.25f, format.sampleRate, format.channels);
    for (int i = 0; i < 40; ++i) take.append(buffer);
    const QByteArray wav = take.close();
    take.append(buffer);  // after the end: ignored
    const double seconds = 40.0 * kBufferFrames / format.sampleRate;
    EXPECT_NEAR((wav.size() - 44) / 32000.0, seconds, kBufferFrames / format.sampleRate) << format.sampleRate;
    EXPECT_EQ(wav.left(44), speech::wavHeader(quint32(wav.size() - 44)));
    EXPECT_NEAR(at<qint16>(wav, 44 + (wav.size() - 44) / 4 * 2), -8192, 4) << format.sampleRate;
    EXPECT_EQ(take.close(), wav);
  }
}

// ---- the answer ------------------------------------------------------------------------------

TEST_F(ServerTranscriberTest, GoodAnswerReplacesTheTextAndNamesTheServer) {
  answerWith(R"({"text":"  Hello Vorlith, how are you?\n"})");
  const Dictation d = dictate(ready());
  EXPECT_EQ(d.text, "Hello Vorlith, how are you?");
  EXPECT_EQ(d.engine, SpeechEngine::server);
  // Without word probabilities nothing is known to be doubtful.
  ASSERT_EQ(d.words.size(), 5u);
  for (const SpokenWord& w : d.words) EXPECT_FALSE(w.unsure || w.confidence) << w.text.toStdString();
  // The recogniser still ran to its end, so its decoder went back to the pool.
  EXPECT_TRUE(recogniser->session(0)->finished);
}

TEST(ServerTranscript, WordProbabilitiesAreFlaggedLikeTheRecognisersWords) {
  struct Case {
    const char* name;
    QByteArray body;
    std::vector<bool> unsure;
  };
  const Case cases[] = {
      {"top level", R"({"text":"send the file","words":[{"word":" send","probability":0.9},)"
                    R"({"word":" the","probability":0.1},{"word":" file","probability":0.9}]})",
       {false, true, false}},
      {"in segments", R"({"text":"cat sat down","segments":[{"words":[{"word":" cat","probability":0.3},)"
                      R"({"word":" sat","probability":0.2}]},{"words":[{"word":" down","probability":0.1}]}]})",
       {true, true, false}},
      {"words without probabilities", R"({"text":"cat sat down","words":[{"word":"cat"},{"word":"sat"}]})",
       {false, false, false}},
  };
  for (const Case& c : cases) {
    const speech::ServerTranscript transcript = speech::serverTranscript(c.body);
    std::vector<bool> unsure;
    for (const SpokenWord& w : transcript.words) unsure.push_back(w.unsure);
    EXPECT_EQ(unsure, c.unsure) << c.name;
  }
}

struct BadAnswer {
  const char* name;
  LoopbackHttp::Reply reply;
  const char* logged;
};

class BadAnswers : public ServerTranscriberTest, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(BadAnswers, LeaveTheRecognisersText) {
  server.script(kInference, GetParam().reply);
  const Dictation d = dictate(ready({.budget = {0.5, 0.0, 0.5}}));
  expectRecognisersText(d);
  const QStringList lines = log.messages().filter("speech server: using the recogniser's text: ");
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].contains(GetParam().logged)) << lines[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Server, BadAnswers,
    ::testing::Values(BadAnswer{"http500", {.status = 500, .body = "{}"}, "answered HTTP 500"},
                      BadAnswer{"emptyText", {.body = R"({"text":" \n "})"}, "heard nothing"},
                      BadAnswer{"noText", {.body = R"({"error":"no model"})"}, "has no text"},
                      BadAnswer{"invalidJson", {.body = "{\"text\": \"hel"}, "not a JSON object"},
                      BadAnswer{"oneMegabyte", {.body = "{\"text\":\"", .filler = 1 << 20}, "larger than 64 KiB"},
                      BadAnswer{"unannouncedMegabyte",
                                {.body = "{\"text\":\"", .announceLength = false, .filler = 1 << 20},
                                "larger than 64 KiB"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerTranscriberTest, SlowAnswerIsAbandonedAtTheBudget) {
  server.script(kInference, {.silent = true});
  auto transcriber = ready({.budget = {0.3, 0.0, 0.3}});
  const Dictation d = dictate(transcriber);
  expectRecognisersText(d);
  // The request was aborted, not left running.
  EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }));
  EXPECT_EQ(log.messages().filter("speech server: using the recogniser's text: no answer within 0.3 s").size(), 1);
}

TEST_F(ServerTranscriberTest, ServerGoneAfterTheProbeFallsBackAndIsNotAskedAgain) {
  auto transcriber = ready();
  server.close();
  expectRecognisersText(dictate(transcriber));
  EXPECT_TRUE(test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::notRunning; }));
  const Dictation next = dictate(transcriber);
  // Known to be down: the recogniser's own session, with no take kept beside it.
  EXPECT_EQ(next.session, recogniser->session(1));
}

TEST_F(ServerTranscriberTest, RecognisersFailureStillGivesTheServersText) {
  answerWith(R"({"text":"hello"})");
  recogniser->session(0)->failFinish = true;
  EXPECT_EQ(dictate(ready()).text, "hello");
}

TEST_F(ServerTranscriberTest, BothFailingReportsTheRecognisersFailure) {
  server.script(kInference, {.status = 500});
  recogniser->session(0)->failFinish = true;
  EXPECT_THROW(dictate(ready()), Error);
}

TEST_F(ServerTranscriberTest, CancelledTakeIsNeverSent) {
  auto transcriber = ready();
  auto session = test::run(transcriber->begin({}, floatFormat(48000, 1), {}));
  session->append(test::levelBuffer(kBufferFrames, 0.5f));
  test::run(session->cancel());
  EXPECT_TRUE(recogniser->session(0)->cancelled);
  test::spinFor(0.1);
  EXPECT_EQ(server.count(kInference), 0);
}

// ---- status ----------------------------------------------------------------------------------

TEST_F(ServerTranscriberTest, StatusFollowsTheProbeOfTheServersRoot) {
  for (const auto& [reply, status] : std::initializer_list<std::pair<LoopbackHttp::Reply, SpeechServerStatus>>{
           {{.status = 503}, SpeechServerStatus::loading},
           {{.status = 404}, SpeechServerStatus::ready},  // listening, whatever its routes
           {{.status = 200}, SpeechServerStatus::ready}}) {
    server.script(kRoot, reply);
    auto transcriber = make({});
    std::vector<SpeechServerStatus> told;
    transcriber->onStatus = [&](SpeechServerStatus s) { told.push_back(s); };
    EXPECT_TRUE(test::spinUntil([&] { return transcriber->status() == status; })) << toString(status).toStdString();
    EXPECT_EQ(told, std::vector{status});
  }
  EXPECT_EQ(server.count(kInference), 0);
}

TEST_F(ServerTranscriberTest, LoadingServerIsNotAskedAndOffIsTheRecognisersOwnSession) {
  server.script(kRoot, {.status = 503});
  auto loading = make({});
  ASSERT_TRUE(test::spinUntil([&] { return loading->status() == SpeechServerStatus::loading; }));
  EXPECT_EQ(dictate(loading).session, recogniser->session(0));

  auto off = ServerTranscriber::create(recogniser, {});
  EXPECT_EQ(off->status(), SpeechServerStatus::off);
  EXPECT_EQ(dictate(off).session, recogniser->session(1));
  EXPECT_EQ(server.count(kInference), 0);
}

TEST_F(ServerTranscriberTest, DownAtStartUpCostsNothingAtPressTime) {
  auto transcriber = make({.endpoint = refusingEndpoint()});
  ASSERT_TRUE(test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::notRunning; }));
  const Dictation d = dictate(transcriber);
  EXPECT_EQ(d.session, recogniser->session(0));
  expectRecognisersText(d);
}

TEST_F(ServerTranscriberTest, AddressOffTheMachineIsRefusedBeforeAnySocket) {
  for (const char* address : {"http://192.0.2.1:8080/inference", "http://example.com/v1/audio/transcriptions",
                              "ftp://127.0.0.1/inference", "not an address"}) {
    auto transcriber = make({.endpoint = QUrl(QString::fromLatin1(address))});
    // Known at once, without a probe.
    EXPECT_EQ(transcriber->status(), SpeechServerStatus::notAllowed) << address;
    EXPECT_EQ(dictate(transcriber).engine, SpeechEngine::recogniser);
  }
  EXPECT_EQ(log.messages().filter("speech server: refused ").size(), 4);
  EXPECT_EQ(recogniser->sessions.size(), 4u);
}

TEST_F(ServerTranscriberTest, LocalhostByNameAndNewEndpointsAreProbed) {
  auto transcriber = make({.endpoint = QUrl(QStringLiteral("http://192.0.2.1/inference"))});
  EXPECT_EQ(transcriber->status(), SpeechServerStatus::notAllowed);
  QUrl byName = server.url(kInference);
  byName.setHost(QStringLiteral("localhost"));
  transcriber->setEndpoint(byName);
  EXPECT_TRUE(test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::ready; }));
  transcriber->setEndpoint({});
  EXPECT_EQ(transcriber->status(), SpeechServerStatus::off);
}

TEST(ServerBudget, GrowsWithTheTakeUpToItsCap) {
  const ServerTranscriber::Budget budget;
  EXPECT_DOUBLE_EQ(budget.forSeconds(0), 1.5);
  EXPECT_DOUBLE_EQ(budget.forSeconds(20), 3.5);
  EXPECT_DOUBLE_EQ(budget.forSeconds(60), 6.0);
}

}  // namespace
}  // namespace talvo
