#include "cleanup/instructions.h"
#include "cleanup/local_model_cleaner.h"
#include "cleanup/model_endpoint.h"
#include "storage/app_paths.h"
#include "support/loopback_http.h"
#include "support/task_runner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using test::LoopbackHttp;
using Kind = CleanupResult::Kind;

const QByteArray kModels = "/v1/models";
const QByteArray kChat = "/v1/chat/completions";
const QString kSpoken = QStringLiteral("um hello there how are you");
const QString kRuled = QStringLiteral("Hello there how are you");
// Far more than the loopback socket buffers hold: a client that stops reading never gets it all.
constexpr qint64 kEndless = 64 << 20;

// A port on 127.0.0.1 where nothing listens.
QUrl refusingEndpoint() {
  LoopbackHttp closed;
  closed.close();
  return closed.url();
}

class LocalModelCleanerTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Status changes are logged; keep the log out of the user's own folder.
    static QTemporaryDir support;
    AppPaths::setSupport(support.path());
    server.script(kModels, {.body = R"({"object":"list","data":[{"id":"small"}]})"});
  }

  std::shared_ptr<LocalModelCleaner> makeCleaner(LocalModelCleaner::Options options) {
    if (options.endpoint == LocalModelCleaner::Options{}.endpoint) options.endpoint = server.url();
    return LocalModelCleaner::create(std::move(options));
  }

  // A cleaner whose probe has already found the server up.
  std::shared_ptr<LocalModelCleaner> readyCleaner(LocalModelCleaner::Options options = {}) {
    options.model = QStringLiteral("small");
    auto cleaner = makeCleaner(std::move(options));
    EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::ready; }));
    return cleaner;
  }

  void answerWith(const QString& content) {
    server.script(kChat, {.body = test::chatCompletion(content)});
  }

  QJsonObject lastChat() const {
    const auto* request = server.last(kChat);
    return request ? QJsonDocument::fromJson(request->body).object() : QJsonObject();
  }

  static CleanupResult cleanUp(const std::shared_ptr<LocalModelCleaner>& cleaner,
                               const QString& text, QStringList terms = {}) {
    return test::run(cleaner->clean(text, std::move(terms)));
  }

  LoopbackHttp server;
};

// ---- the model's answer -------------------------------------------------------------------

TEST_F(LocalModelCleanerTest, RequestCarriesInstructionsPromptAndBudget) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("Hello there, how are you?"));
  const QStringList terms{QStringLiteral("Marguerite"), QStringLiteral("SQL")};
  cleanUp(cleaner, kSpoken, terms);

  const QJsonObject body = lastChat();
  EXPECT_EQ(body["model"].toString(), "small");
  EXPECT_EQ(body["temperature"].toDouble(-1), 0.0);
  EXPECT_EQ(body["max_tokens"].toInt(), 48);
  const QJsonArray messages = body["messages"].toArray();
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[0]["role"].toString(), "system");
  EXPECT_EQ(messages[0]["content"].toString(), cleanupInstructions(terms));
  EXPECT_EQ(messages[1]["role"].toString(), "user");
  // The model sees what was said, not the ruled text.
  EXPECT_EQ(messages[1]["content"].toString(), "Transcript:\n" + kSpoken);
  // Three tokens a word above the floor of 48.
  cleanUp(cleaner, QStringLiteral("word ").repeated(30));
  EXPECT_EQ(lastChat()["max_tokens"].toInt(), 90);
}

TEST_F(LocalModelCleanerTest, AcceptedAnswerLosesItsLabelAndKeepsDictatedLines) {
  auto cleaner = readyCleaner();
  // The rules run once more over the answer.
  answerWith(QStringLiteral("Cleaned text: so so first line\nsecond line"));
  EXPECT_EQ(cleanUp(cleaner, QStringLiteral("um so first line new line second line")),
            (CleanupResult{"So first line\nSecond line", Kind::ai, QString()}));
}

struct BadAnswer {
  const char* name;
  LoopbackHttp::Reply reply;
  const char* note;
};

void PrintTo(const BadAnswer& b, std::ostream* os) { *os << b.name; }

class BadAnswers : public LocalModelCleanerTest, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(BadAnswers, GiveTheRulesWithANote) {
  auto cleaner = readyCleaner();
  server.script(kChat, GetParam().reply);
  EXPECT_EQ(cleanUp(cleaner, kSpoken),
            (CleanupResult{kRuled, Kind::rules, QString::fromUtf8(GetParam().note)}));
}

LoopbackHttp::Reply says(const char16_t* content, const char* finish = "stop") {
  return {.body = test::chatCompletion(QString::fromUtf16(content), QString::fromUtf8(finish))};
}

constexpr const char* kNotJson = "error: the model's answer is not JSON";
constexpr const char* kNoText = "error: the model's answer has no message text";
constexpr const char* kTooLarge = "error: the model's answer is larger than 64 KiB";

INSTANTIATE_TEST_SUITE_P(
    Table, BadAnswers,
    ::testing::Values(
        BadAnswer{"wordy", says(u"Sure! Here is a much longer answer about things nobody said"),
                  "off-script"},
        BadAnswer{"cutOffAtTheTokenLimit", says(u"Hello there, how", "length"), "off-script"},
        BadAnswer{"undictatedLineBreak", says(u"Hello there,\nhow are you?"), "off-script"},
        BadAnswer{"escapeSequence", says(u"Hello there, \x1B[2Jhow are you?"), "off-script"},
        BadAnswer{"carriageReturn", says(u"Hello there,\r how are you?"), "off-script"},
        BadAnswer{"http500",
                  {.status = 500, .body = R"({"error":"boom"})"},
                  "error: the model server answered HTTP 500"},
        BadAnswer{
            "http503", {.status = 503, .body = "{}"}, "error: the model server answered HTTP 503"},
        // Not followed: a redirect could lead off the machine.
        BadAnswer{"redirect",
                  {.status = 302, .extraHeaders = "Location: /elsewhere\r\n"},
                  "error: the model server answered HTTP 302"},
        BadAnswer{"notJson", {.body = "<html>hello</html>"}, kNotJson},
        BadAnswer{"empty", {}, kNotJson},
        BadAnswer{"badUtf8",
                  {.body = "{\"choices\":[{\"message\":{\"content\":\"\xff\xfe\"}}]}"},
                  kNotJson},
        BadAnswer{
            "deepNesting", {.body = QByteArray(30000, '[') + QByteArray(30000, ']')}, kNoText},
        BadAnswer{"noChoices", {.body = R"({"choices":[]})"}, kNoText},
        BadAnswer{"array", {.body = "[1,2,3]"}, kNoText},
        BadAnswer{
            "nullContent", {.body = R"({"choices":[{"message":{"content":null}}]})"}, kNoText},
        BadAnswer{"numberContent", {.body = R"({"choices":[{"message":{"content":7}}]})"}, kNoText},
        BadAnswer{"tooLarge", {.filler = qint64{70} * 1024}, kTooLarge},
        BadAnswer{"tooLargeUnannounced", {.announceLength = false, .filler = kEndless}, kTooLarge}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalModelCleanerTest, SlowAnswerTimesOutAndTheRequestIsAborted) {
  auto cleaner = readyCleaner({.timeout = 0.2});
  server.script(kChat, {.silent = true});
  auto cleaning = cleaner->clean(kSpoken, {});
  // Given up on after its own time-out, long before a prewarm's would end.
  EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }));
  EXPECT_EQ(test::run(std::move(cleaning)), (CleanupResult{kRuled, Kind::rules, "timeout"}));
}

TEST_F(LocalModelCleanerTest, ServerGoneAfterTheProbeGivesAnErrorNote) {
  auto cleaner = readyCleaner();
  server.close();
  const CleanupResult result = cleanUp(cleaner, kSpoken);
  EXPECT_EQ(result.text, kRuled);
  EXPECT_TRUE(result.note.startsWith("error: the model server could not be reached"))
      << result.note.toStdString();
  // The failure refreshes the status, so the next dictation does not try again.
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
}

// ---- when the model is not asked ------------------------------------------------------------

TEST_F(LocalModelCleanerTest, SwitchedOffNeverAsksTheModel) {
  auto cleaner = makeCleaner({.enabled = false});
  EXPECT_EQ(cleaner->status(), AIStatus::disabledByUser);
  cleaner->prewarm({});
  EXPECT_EQ(cleanUp(cleaner, kSpoken), (CleanupResult{kRuled, Kind::rules, "disabledByUser"}));
  test::spinFor(0.1);
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(LocalModelCleanerTest, ShortTextNeverAsksTheModel) {
  auto cleaner = readyCleaner();
  EXPECT_EQ(cleanUp(cleaner, QStringLiteral("hello there")),
            (CleanupResult{"Hello there", Kind::rules, "short"}));
  EXPECT_EQ(server.count(kChat), 0);
}

TEST_F(LocalModelCleanerTest, RefusedConnectionIsTurnedOffAndNoted) {
  auto cleaner = makeCleaner({.endpoint = refusingEndpoint()});
  ASSERT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
  EXPECT_EQ(cleanUp(cleaner, kSpoken), (CleanupResult{kRuled, Kind::rules, "turnedOff"}));
}

// ---- status ------------------------------------------------------------------------------------

TEST_F(LocalModelCleanerTest, StatusFollowsTheProbe) {
  for (const auto& [reply, status] :
       std::initializer_list<std::pair<LoopbackHttp::Reply, AIStatus>>{
           {{.status = 503}, AIStatus::downloading},
           {{.status = 500}, AIStatus::unknown},
           {{.status = 404}, AIStatus::unknown},
           {{.status = 302, .extraHeaders = "Location: /x\r\n"}, AIStatus::unknown},
           {{.status = 200}, AIStatus::ready}}) {
    server.script(kModels, reply);
    auto cleaner = makeCleaner({});
    EXPECT_TRUE(test::spinUntil([&, status = status] { return cleaner->status() == status; }))
        << toString(status).toStdString();
  }
}

// A probe that cannot end normally, because the server never answers or never stops,
// is given up and leaves the status unknown.
TEST_F(LocalModelCleanerTest, ProbeThatNeverEndsIsGivenUp) {
  for (const LoopbackHttp::Reply& reply :
       {LoopbackHttp::Reply{.silent = true},
        LoopbackHttp::Reply{.announceLength = false, .filler = kEndless}}) {
    server.script(kModels, {});
    auto cleaner = readyCleaner({.probeTimeout = 0.2});
    const int hungUp = server.hungUpEarly();
    server.script(kModels, reply);
    cleaner->refreshStatus();
    EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::unknown; }));
    EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == hungUp + 1; }));
  }
}

TEST_F(LocalModelCleanerTest, HostOffTheMachineIsNotEligible) {
  auto cleaner = makeCleaner({.endpoint = QUrl(QStringLiteral("http://192.0.2.1:8080"))});
  EXPECT_EQ(cleaner->status(), AIStatus::notEligible);
  EXPECT_EQ(cleanUp(cleaner, kSpoken).note, "notEligible");
}

TEST(ModelEndpoint, OnlyLoopbackHostsMayBeContacted) {
  const std::pair<const char*, std::optional<AIStatus>> cases[] = {
      {"http://127.0.0.1:8080", std::nullopt},
      {"http://127.0.0.2", std::nullopt},
      {"http://[::1]:8080", std::nullopt},
      {"http://LocalHost:11434/", std::nullopt},
      {"https://localhost/api", std::nullopt},
      {"http://192.168.1.2:8080", AIStatus::notEligible},
      {"http://localhost.example.com", AIStatus::notEligible},
      {"http://[2001:db8::1]/", AIStatus::notEligible},
      {"http://0.0.0.0:8080", AIStatus::notEligible},
      {"https://10.0.0.1/", AIStatus::notEligible},
      {"ftp://127.0.0.1/", AIStatus::unknown},
      {"not a url", AIStatus::unknown}};
  for (const auto& [address, verdict] : cases)
    EXPECT_EQ(endpointVerdict(QUrl(QString::fromUtf8(address))), verdict) << address;
}

TEST(ModelEndpoint, RoutesGoBelowTheServerAddress) {
  const QString models = QStringLiteral("v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://127.0.0.1:8080"), models).toString(),
            "http://127.0.0.1:8080/v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://127.0.0.1:8080/"), models).toString(),
            "http://127.0.0.1:8080/v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://localhost/llm//?x=1#y"), models).toString(),
            "http://localhost/llm/v1/models");
}

TEST_F(LocalModelCleanerTest, LocalhostByNameIsProbed) {
  const int port = server.url().port();
  auto named = makeCleaner({.endpoint = QUrl(QStringLiteral("http://localhost:%1").arg(port))});
  EXPECT_TRUE(test::spinUntil([&] { return named->status() == AIStatus::ready; }));
  EXPECT_EQ(server.count(kModels), 1);
}

TEST_F(LocalModelCleanerTest, SwitchAndEndpointChangesTakeEffect) {
  auto cleaner = readyCleaner();
  cleaner->setEnabled(false);
  EXPECT_EQ(cleaner->status(), AIStatus::disabledByUser);
  cleaner->setEnabled(true);
  EXPECT_EQ(cleaner->status(), AIStatus::ready);

  cleaner->setEndpoint(refusingEndpoint());
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
  cleaner->setEndpoint(server.url());
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::ready; }));
}

// ---- prewarm and lifetime -------------------------------------------------------------------

TEST_F(LocalModelCleanerTest, PrewarmAsksForOneTokenWithTheInstructions) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("ok"));
  const int probes = server.count(kModels);
  cleaner->prewarm({QStringLiteral("Marguerite")});
  ASSERT_TRUE(test::spinUntil([&] { return server.count(kChat) == 1; }));
  const QJsonObject body = lastChat();
  EXPECT_EQ(body["max_tokens"].toInt(), 1);
  EXPECT_EQ(body["messages"][0]["content"].toString(),
            cleanupInstructions({QStringLiteral("Marguerite")}));
  EXPECT_TRUE(test::spinUntil([&] { return server.count(kModels) == probes + 1; }));
}

TEST_F(LocalModelCleanerTest, EndlessPrewarmAnswerIsCutOff) {
  auto cleaner = readyCleaner();
  server.script(kChat, {.announceLength = false, .filler = kEndless});
  cleaner->prewarm({});
  EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }));
}

TEST_F(LocalModelCleanerTest, CleanOutlivesItsOwnersReference) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("Hello there, how are you?"));
  QCoro::Task<CleanupResult> task = cleaner->clean(kSpoken, {});
  cleaner.reset();
  EXPECT_EQ(test::run(std::move(task)).kind, Kind::ai);
}

// ---- instruction text ---------------------------------------------------------------------

TEST(CleanupInstructions, FixedTextThenAtMostSixtyTermsThenTheLastSentence) {
  const QString bare = cleanupInstructions({});
  ASSERT_TRUE(bare.endsWith(
      "clean it and output it as a question or order.\n\nOutput only the cleaned text."));
  const QString fixed =
      bare.chopped(30);  // without terms an empty line stands before the last sentence
  EXPECT_EQ(fixed.size(), 695);
  EXPECT_EQ(fixed.count(u'\n'), 8);
  EXPECT_TRUE(fixed.startsWith("You clean up voice dictation. Someone spoke,"));
  EXPECT_EQ(cleanupInstructions({"Marguerite", "SQL"}),
            fixed + "- Spell these exactly: Marguerite, SQL\nOutput only the cleaned text.");
  QStringList terms;
  for (int i = 1; i <= 70; ++i) terms << QStringLiteral("T%1").arg(i);
  EXPECT_TRUE(cleanupInstructions(terms).endsWith(", T59, T60\nOutput only the cleaned text."));
}

}  // namespace
}  // namespace talvo
