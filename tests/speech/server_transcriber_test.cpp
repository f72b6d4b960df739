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

struct Dictation {
  std::shared_ptr<TranscriptionSession> session;
  QString text;
  std::vector<SpokenWord> words;
  SpeechEngine engine = SpeechEngine::recogniser;
};

// One field of a multipart form; empty when there is none.
QByteArray formField(const QByteArray& body, const QByteArray& name) {
  const qsizetype at = body.indexOf("; name=\"" + name + '"');
  if (at < 0) return {};
  const qsizetype start = body.indexOf("\r\n\r\n", at) + 4;
  return body.mid(start, body.indexOf("\r\n--", start) - start);
}

template <typename T>
T at(const QByteArray& wav, qsizetype offset) {
  return qFromLittleEndian<T>(wav.constData() + offset);
}

// The sample in the middle of a WAV file's data.
qint16 middleSample(const QByteArray& wav) {
  return at<qint16>(wav, 44 + (wav.size() - 44) / 4 * 2);
}

class ServerTranscriberTest : public ::testing::Test {
protected:
  void SetUp() override { server.script(kRoot, {.body = "<html>whisper</html>"}); }

  // A transcriber whose probe has already found the server up.
  std::shared_ptr<ServerTranscriber> ready(ServerTranscriber::Options options = {}) {
    options.endpoint = server.url(kInference);
    auto transcriber = ServerTranscriber::create(recogniser, std::move(options));
    EXPECT_TRUE(
        test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::ready; }));
    return transcriber;
  }
  void answerWith(const QByteArray& json) { server.script(kInference, {.body = json}); }

  // One press and release with `buffers` buffers of 0.5 from a thread of its own.
  static Dictation dictate(const std::shared_ptr<ServerTranscriber>& transcriber, int buffers = 47,
                           QStringList terms = {}) {
    Dictation d;
    d.session = test::run(transcriber->begin(std::move(terms), floatFormat(48000, 1), {}));
    const AudioBuffer buffer = test::levelBuffer(kBufferFrames, 0.5f);
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
  const int buffers = 94;  // about two seconds at 48 kHz
  dictate(ready({.model = QStringLiteral("large-v3")}), buffers, {"Vorlith", "Kubernetes"});

  ASSERT_EQ(server.count(kInference), 1);
  const QByteArray body = server.last(kInference)->body;
  EXPECT_EQ(formField(body, "response_format") + formField(body, "temperature"), "json0");
  EXPECT_EQ(formField(body, "model"), "large-v3");
  EXPECT_EQ(formField(body, "prompt"), "Vorlith, Kubernetes");

  const QByteArray wav = formField(body, "file");
  ASSERT_GE(wav.size(), 44);
  EXPECT_EQ(wav.left(4) + wav.mid(8, 8) + wav.mid(36, 4), "RIFFWAVEfmt data");
  EXPECT_EQ(at<quint32>(wav, 4), quint32(wav.size() - 8));
  EXPECT_EQ(at<quint64>(wav, 20), 0x0000'3e80'0001'0001u);  // integer PCM, mono, 16 kHz
  EXPECT_EQ(at<quint16>(wav, 34), 16);
  EXPECT_EQ(at<quint32>(wav, 40), quint32(wav.size() - 44));
  EXPECT_NEAR((wav.size() - 44) / 32000.0, buffers * kBufferFrames / 48000.0,
              kBufferFrames / 48000.0);
  // The level survives the conversion: 0.5 in float is half of the 16-bit range.
  EXPECT_NEAR(middleSample(wav), 16384, 4);
  // The recogniser got every buffer too.
  EXPECT_EQ(recogniser->session(0)->frames, int64_t(buffers) * kBufferFrames);
}

// Whatever the capture format, the file holds 16 kHz mono of the take's length; later appends are
// ignored.
TEST(WavTake, AnyFormatBecomesSixteenKilohertzMono) {
  for (const AudioFormat& format :
       {floatFormat(16000, 1), floatFormat(44100, 2), floatFormat(8000, 1)}) {
    speech::WavTake take;
    const AudioBuffer buffer =
        test::levelBuffer(kBufferFrames, -0.25f, format.sampleRate, format.channels);
    for (int i = 0; i < 40; ++i) take.append(buffer);
    const QByteArray wav = take.close();
    take.append(buffer);
    EXPECT_EQ(take.close(), wav);
    EXPECT_EQ(wav.left(44), speech::wavHeader(quint32(wav.size() - 44)));
    EXPECT_NEAR((wav.size() - 44) / 32000.0, 40 * kBufferFrames / format.sampleRate,
                kBufferFrames / format.sampleRate);
    EXPECT_NEAR(middleSample(wav), -8192, 4) << format.sampleRate;
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
  for (const SpokenWord& w : d.words)
    EXPECT_FALSE(w.unsure || w.confidence) << w.text.toStdString();
  // The recogniser still ran to its end, so its decoder went back to the pool.
  EXPECT_TRUE(recogniser->session(0)->finished);
  // Without terms or a model the form has neither field.
  const QByteArray body = server.last(kInference)->body;
  EXPECT_FALSE(body.contains("name=\"prompt\"") || body.contains("name=\"model\""));
}

TEST(ServerTranscript, WordProbabilitiesAreFlaggedLikeTheRecognisersWords) {
  const std::pair<QByteArray, std::vector<bool>> cases[] = {
      {R"({"text":"send the file","words":[{"word":" send","probability":0.9},)"
       R"({"word":" the","probability":0.1},{"word":" file","probability":0.9}]})",
       {false, true, false}},
      {R"({"text":"cat sat down","segments":[{"words":[{"word":" cat","probability":0.3},)"
       R"({"word":" sat","probability":0.2}]},{"words":[{"word":" down","probability":0.1}]}]})",
       {true, true, false}},
      {R"({"text":"cat sat down","words":[{"word":"cat"},{"word":"sat"}]})", {false, false, false}},
  };
  for (const auto& [body, expected] : cases) {
    std::vector<bool> unsure;
    for (const SpokenWord& w : speech::serverTranscript(body).words) unsure.push_back(w.unsure);
    EXPECT_EQ(unsure, expected) << body.toStdString();
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
  expectRecognisersText(dictate(ready({.budget = {0.5, 0.0, 0.5}})));
  const QStringList lines = log.messages().filter("speech server: using the recogniser's text: ");
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].contains(GetParam().logged)) << lines[0].toStdString();
  // An answer given up on at the budget is aborted on the wire rather than left running.
  if (GetParam().reply.silent) {
    EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Server, BadAnswers,
    ::testing::Values(
        BadAnswer{"http500", {.status = 500, .body = "{}"}, "answered HTTP 500"},
        BadAnswer{"emptyText", {.body = R"({"text":" \n "})"}, "heard nothing"},
        BadAnswer{"noText", {.body = R"({"error":"no model"})"}, "has no text"},
        BadAnswer{"invalidJson", {.body = "{\"text\": \"hel"}, "not a JSON object"},
        BadAnswer{"oneMegabyte", {.body = "{\"text\":\"", .filler = 1 << 20}, "larger than 64 KiB"},
        BadAnswer{"unannouncedMegabyte",
                  {.body = "{\"text\":\"", .announceLength = false, .filler = 1 << 20},
                  "larger than 64 KiB"},
        BadAnswer{"silent", {.silent = true}, "no answer within 0.5 s"}),
    [](const auto& info) { return std::string(info.param.name); });

// The server goes away after the press found it ready: the recogniser's text is used, and the
// server is probed again at once, so that the next press does not go by the probe made at this one.
TEST_F(ServerTranscriberTest, ServerGoneAtReleaseFallsBackAndIsProbedAgain) {
  auto transcriber = ready();
  auto session = test::run(transcriber->begin({}, floatFormat(48000, 1), {}));
  ASSERT_TRUE(test::spinUntil([&] { return server.count(kRoot) == 2; }));  // the press's own probe
  server.close();
  EXPECT_EQ(test::run(session->finish()), kRecognised);
  EXPECT_EQ(session->engine(), SpeechEngine::recogniser);
  EXPECT_TRUE(
      test::spinUntil([&] { return transcriber->status() == SpeechServerStatus::notRunning; }));
}

TEST_F(ServerTranscriberTest, RecognisersFailureCountsOnlyWithoutTheServersText) {
  answerWith(R"({"text":"hello"})");
  recogniser->session(0)->failFinish = true;
  recogniser->session(1)->failFinish = true;
  auto transcriber = ready();
  EXPECT_EQ(dictate(transcriber).text, "hello");
  server.script(kInference, {.status = 500});
  EXPECT_THROW(dictate(transcriber), Error);
}

TEST_F(ServerTranscriberTest, CancelledTakeIsNeverSent) {
  auto session = test::run(ready()->begin({}, floatFormat(48000, 1), {}));
  session->append(test::levelBuffer(kBufferFrames, 0.5f));
  test::run(session->cancel());
  EXPECT_TRUE(recogniser->session(0)->cancelled);
  EXPECT_EQ(server.count(kInference), 0);
}

// ---- status ----------------------------------------------------------------------------------

struct Endpoint {
  const char* name;
  const char* address;  // %1: the loopback server's port, %2: a loopback port where nothing listens
  int rootStatus;
  SpeechServerStatus status;
};

class EndpointStatus : public ServerTranscriberTest,
                       public ::testing::WithParamInterface<Endpoint> {};

// Only a server found ready is sent the take: any other state costs nothing at press time.
TEST_P(EndpointStatus, DecidesWhetherTheTakeIsSent) {
  LoopbackHttp closed;
  closed.close();
  server.script(kRoot, {.status = GetParam().rootStatus});
  answerWith(R"({"text":"from the server"})");
  const QString address = QString::fromLatin1(GetParam().address)
                              .replace("%1", QString::number(server.url().port()))
                              .replace("%2", QString::number(closed.url().port()));
  const SpeechServerStatus expected = GetParam().status;
  auto transcriber = ServerTranscriber::create(recogniser, {.endpoint = QUrl(address)});
  std::vector<SpeechServerStatus> told;
  transcriber->onStatus = [&](SpeechServerStatus s) { told.push_back(s); };
  // An address that is not to be used is known at once, before any socket exists.
  const bool probed =
      expected != SpeechServerStatus::off && expected != SpeechServerStatus::notAllowed;
  if (!probed) {
    EXPECT_EQ(transcriber->status(), expected);
  }
  EXPECT_TRUE(test::spinUntil([&] { return transcriber->status() == expected; }));
  EXPECT_EQ(told, probed ? std::vector{expected} : std::vector<SpeechServerStatus>{});
  EXPECT_EQ(log.messages().filter("speech server: refused ").size(),
            expected == SpeechServerStatus::notAllowed ? 1 : 0);

  const bool ready = expected == SpeechServerStatus::ready;
  EXPECT_EQ(dictate(transcriber).text, ready ? "from the server" : kRecognised);
  EXPECT_EQ(server.count(kInference), ready ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, EndpointStatus,
    ::testing::Values(
        Endpoint{"ready", "http://127.0.0.1:%1/inference", 200, SpeechServerStatus::ready},
        // Listening, whatever its routes.
        Endpoint{"rootNotFound", "http://127.0.0.1:%1/inference", 404, SpeechServerStatus::ready},
        Endpoint{"localhostByName", "http://localhost:%1/inference", 200,
                 SpeechServerStatus::ready},
        Endpoint{"loading", "http://127.0.0.1:%1/inference", 503, SpeechServerStatus::loading},
        Endpoint{"notRunning", "http://127.0.0.1:%2/inference", 200,
                 SpeechServerStatus::notRunning},
        Endpoint{"off", "", 200, SpeechServerStatus::off},
        Endpoint{"remote", "http://192.0.2.1:8080/inference", 200, SpeechServerStatus::notAllowed},
        Endpoint{"remoteByName", "http://example.com/v1/audio/transcriptions", 200,
                 SpeechServerStatus::notAllowed},
        Endpoint{"notHttp", "ftp://127.0.0.1:%1/inference", 200, SpeechServerStatus::notAllowed},
        Endpoint{"notAnAddress", "not an address", 200, SpeechServerStatus::notAllowed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerTranscriberTest, NewEndpointIsCheckedAndProbedAgain) {
  auto transcriber =
      ServerTranscriber::create(recogniser, {.endpoint = QUrl("http://192.0.2.1/inference")});
  EXPECT_EQ(transcriber->status(), SpeechServerStatus::notAllowed);
  transcriber->setEndpoint(server.url(kInference));
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
