#include "cleanup/instructions.h"
#include "cleanup/local_model_cleaner.h"
#include "cleanup/model_endpoint.h"
#include "cleanup/rules.h"
#include "fake_model_server.h"
#include "storage/app_paths.h"
#include "support/task_runner.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using test::FakeModelServer;
using Kind = CleanupResult::Kind;

const QByteArray kModels = "/v1/models";
const QByteArray kChat = "/v1/chat/completions";
const QString kSpoken = QStringLiteral("um hello there how are you");

// A port on 127.0.0.1 where nothing listens.
QUrl refusingEndpoint() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

class LocalModelCleanerTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Status changes are logged; keep the log out of the user's own folder.
    static QTemporaryDir support;
    AppPaths::setSupport(support.path());
    server.script(kModels, {200, R"({"object":"list","data":[{"id":"small"}]})"});
  }

  std::shared_ptr<LocalModelCleaner> makeCleaner(LocalModelCleaner::Options options) {
    if (options.endpoint == LocalModelCleaner::Options{}.endpoint) options.endpoint = server.endpoint();
    return LocalModelCleaner::create(std::move(options));
  }

  // A cleaner whose probe has already found the server up.
  std::shared_ptr<LocalModelCleaner> readyCleaner(double timeout = 2.0) {
    auto cleaner = makeCleaner({.model = QStringLiteral("small"), .timeout = timeout});
    EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::ready; }));
    return cleaner;
  }

  void answerWith(const QString& content, int delayMs = 0) {
    server.script(kChat, {200, test::chatCompletion(content), delayMs});
  }

  QJsonObject lastChat() const {
    const auto* request = server.last(kChat);
    return request ? QJsonDocument::fromJson(request->body).object() : QJsonObject();
  }

  CleanupResult cleanUp(const std::shared_ptr<LocalModelCleaner>& cleaner, const QString& text,
                        QStringList terms = {}) {
    return test::run(cleaner->clean(text, terms));
  }

  FakeModelServer server;
};

// ---- a good answer ----------------------------------------------------------------------

TEST_F(LocalModelCleanerTest, LabelledAnswerIsAcceptedWithoutItsLabel) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("Cleaned text: Hello there, how are you?"));
  EXPECT_EQ(cleanUp(cleaner, kSpoken),
            (CleanupResult{QStringLiteral("Hello there, how are you?"), Kind::ai, QString()}));
}

TEST_F(LocalModelCleanerTest, CurlyQuotedAnswerLosesItsQuotes) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("\u201CHello there, how are you?\u201D"));
  EXPECT_EQ(cleanUp(cleaner, kSpoken).text, "Hello there, how are you?");
}

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
}

TEST_F(LocalModelCleanerTest, BudgetIsThreeTokensPerWordAboveTheFloor) {
  auto cleaner = readyCleaner();
  QString thirty;
  for (int i = 0; i < 30; ++i) thirty += QStringLiteral("word%1 ").arg(i);
  answerWith(thirty);
  cleanUp(cleaner, thirty);
  EXPECT_EQ(lastChat()["max_tokens"].toInt(), 90);
}

TEST_F(LocalModelCleanerTest, RulesRunAgainOverTheAnswer) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("so so hello there how are you"));
  EXPECT_EQ(cleanUp(cleaner, QStringLiteral("um so hello there how are you")),
            (CleanupResult{QStringLiteral("So hello there how are you"), Kind::ai, QString()}));
}

// ---- answers that are not used ------------------------------------------------------------

TEST_F(LocalModelCleanerTest, OffScriptAnswersFallBackToTheRules) {
  auto cleaner = readyCleaner();
  const CleanupResult ruled{Rules::clean(kSpoken), Kind::rules, QStringLiteral("off-script")};

  answerWith(QStringLiteral("Sure! Here is a much longer answer that goes on and on about "
                            "things nobody said at all today now"));
  EXPECT_EQ(cleanUp(cleaner, kSpoken), ruled);

  const QString ten = QStringLiteral("one two three four five six seven eight nine ten");
  answerWith(QStringLiteral("One."));
  EXPECT_EQ(cleanUp(cleaner, ten).note, "off-script");

  answerWith(QStringLiteral("hello there my dear friend Bob"));
  EXPECT_EQ(cleanUp(cleaner, QStringLiteral("hello there um")).note, "off-script");

  answerWith(QStringLiteral("  \n\"\"  "));
  EXPECT_EQ(cleanUp(cleaner, kSpoken).note, "off-script");
}

TEST_F(LocalModelCleanerTest, AnswerCutOffAtTheTokenLimitIsNotUsed) {
  auto cleaner = readyCleaner();
  // Plausible by every word check, but the server says it ran out of tokens mid-way.
  const QString spoken = QStringLiteral("um we meet on friday at the office near the station");
  server.script(kChat, {200, test::chatCompletion(QStringLiteral("We meet on Friday at the"),
                                                  QStringLiteral("length"))});
  EXPECT_EQ(cleanUp(cleaner, spoken),
            (CleanupResult{Rules::clean(spoken), Kind::rules, QStringLiteral("off-script")}));
}

TEST_F(LocalModelCleanerTest, SlowAnswerTimesOutAndTheRequestIsAborted) {
  auto cleaner = readyCleaner(LocalModelCleaner::kDefaultTimeout);
  answerWith(QStringLiteral("Hello there, how are you?"), 20000);
  QElapsedTimer clock;
  clock.start();
  const CleanupResult result = cleanUp(cleaner, kSpoken);
  const double seconds = clock.elapsed() / 1000.0;
  EXPECT_EQ(result, (CleanupResult{Rules::clean(kSpoken), Kind::rules, QStringLiteral("timeout")}));
  EXPECT_GE(seconds, 3.8);
  EXPECT_LT(seconds, 6.0);
  // The server sees the client hang up long before it would have answered.
  EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }, 2.0));
}

struct BadAnswer {
  const char* name;
  FakeModelServer::Reply reply;
  const char* note;
};

void PrintTo(const BadAnswer& b, std::ostream* os) { *os << b.name; }

class BadAnswers : public LocalModelCleanerTest,
                   public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(BadAnswers, GiveTheRulesWithAnErrorNote) {
  auto cleaner = readyCleaner();
  server.script(kChat, GetParam().reply);
  EXPECT_EQ(cleanUp(cleaner, kSpoken),
            (CleanupResult{Rules::clean(kSpoken), Kind::rules, QString::fromUtf8(GetParam().note)}));
}

QByteArray oversized() {
  return test::chatCompletion(QString(70 * 1024, u'a'));
}

QByteArray deeplyNested() {
  return QByteArray(30000, '[') + QByteArray(30000, ']');
}

INSTANTIATE_TEST_SUITE_P(
    Server, BadAnswers,
    ::testing::Values(
        BadAnswer{"http500", {500, R"({"error":"boom"})"}, "error: the model server answered HTTP 500"},
        BadAnswer{"http503", {503, R"({"error":"loading"})"}, "error: the model server answered HTTP 503"},
        BadAnswer{"redirect", {302, "", 0, true, "Location: /elsewhere\r\n"},
                  "error: the model server answered HTTP 302"},
        BadAnswer{"notJson", {200, "<html>hello</html>"}, "error: the model's answer is not JSON"},
        BadAnswer{"empty", {200, ""}, "error: the model's answer is not JSON"},
        BadAnswer{"badUtf8", {200, "{\"choices\":[{\"message\":{\"content\":\"\xff\xfe\"}}]}"},
                  "error: the model's answer is not JSON"},
        BadAnswer{"deepNesting", {200, deeplyNested()}, "error: the model's answer has no message text"},
        BadAnswer{"noChoices", {200, R"({"choices":[]})"}, "error: the model's answer has no message text"},
        BadAnswer{"array", {200, R"([1,2,3])"}, "error: the model's answer has no message text"},
        BadAnswer{"nullContent", {200, R"({"choices":[{"message":{"content":null}}]})"},
                  "error: the model's answer has no message text"},
        BadAnswer{"numberContent", {200, R"({"choices":[{"message":{"content":7}}]})"},
                  "error: the model's answer has no message text"},
        BadAnswer{"tooLarge", {200, oversized()}, "error: the model's answer is larger than 64 KiB"},
        BadAnswer{"tooLargeUnannounced", {200, oversized(), 0, false},
                  "error: the model's answer is larger than 64 KiB"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalModelCleanerTest, RedirectIsNotFollowed) {
  auto cleaner = readyCleaner();
  server.script(kChat, {302, "", 0, true, "Location: /elsewhere\r\n"});
  server.script("/elsewhere", {200, test::chatCompletion(QStringLiteral("Hello there"))});
  cleanUp(cleaner, kSpoken);
  EXPECT_EQ(server.count("/elsewhere"), 0);
}

TEST_F(LocalModelCleanerTest, ServerGoneAfterTheProbeGivesAnErrorNote) {
  auto cleaner = readyCleaner();
  server.close();
  const CleanupResult result = cleanUp(cleaner, kSpoken);
  EXPECT_EQ(result.kind, Kind::rules);
  EXPECT_EQ(result.text, Rules::clean(kSpoken));
  EXPECT_TRUE(result.note.startsWith("error: the model server could not be reached")) << result.note.toStdString();
  // The failure refreshes the status, so the next dictation does not try again.
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
}

// ---- when the model is not asked ------------------------------------------------------------

TEST_F(LocalModelCleanerTest, SwitchedOffNeverAsksTheModel) {
  auto cleaner = makeCleaner({.enabled = false});
  answerWith(QStringLiteral("Hello there, how are you?"));
  EXPECT_EQ(cleaner->status(), AIStatus::disabledByUser);
  cleaner->prewarm({});
  EXPECT_EQ(cleanUp(cleaner, kSpoken),
            (CleanupResult{QStringLiteral("Hello there how are you"), Kind::rules,
                           QStringLiteral("disabledByUser")}));
  test::spinFor(0.1);
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(LocalModelCleanerTest, ShortTextNeverAsksTheModel) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("Hello there"));
  EXPECT_EQ(cleanUp(cleaner, QStringLiteral("hello there")),
            (CleanupResult{QStringLiteral("Hello there"), Kind::rules, QStringLiteral("short")}));
  EXPECT_EQ(server.count(kChat), 0);
}

TEST_F(LocalModelCleanerTest, NotReadyGivesTheStatusAsNote) {
  auto cleaner = makeCleaner({.endpoint = refusingEndpoint()});
  ASSERT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
  EXPECT_EQ(cleanUp(cleaner, kSpoken),
            (CleanupResult{QStringLiteral("Hello there how are you"), Kind::rules,
                           QStringLiteral("turnedOff")}));
}

// ---- status ------------------------------------------------------------------------------------

TEST_F(LocalModelCleanerTest, StatusFollowsTheProbe) {
  struct Case {
    FakeModelServer::Reply reply;
    AIStatus status;
  };
  for (const Case& c : {Case{{503, "{}"}, AIStatus::downloading}, Case{{500, "{}"}, AIStatus::unknown},
                        Case{{404, "{}"}, AIStatus::unknown},
                        Case{{302, "", 0, true, "Location: /v1/other\r\n"}, AIStatus::unknown},
                        Case{{200, "{}"}, AIStatus::ready}}) {
    server.script(kModels, c.reply);
    auto cleaner = makeCleaner({});
    EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == c.status; }))
        << toString(c.status).toStdString();
  }
}

TEST_F(LocalModelCleanerTest, RefusedConnectionIsTurnedOff) {
  auto cleaner = makeCleaner({.endpoint = refusingEndpoint()});
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::turnedOff; }));
}

TEST_F(LocalModelCleanerTest, SlowProbeIsUnknown) {
  server.script(kModels, {200, "{}", 3000});
  auto cleaner = makeCleaner({.probeTimeout = 0.3});
  test::spinFor(0.8);
  EXPECT_EQ(cleaner->status(), AIStatus::unknown);
}

TEST_F(LocalModelCleanerTest, HostsOffTheMachineAreNotEligible) {
  for (const char* address : {"http://192.0.2.1:8080", "http://example.com", "https://10.0.0.1/"}) {
    auto cleaner = makeCleaner({.endpoint = QUrl(QString::fromUtf8(address))});
    EXPECT_EQ(cleaner->status(), AIStatus::notEligible) << address;
    EXPECT_EQ(cleanUp(cleaner, kSpoken).note, "notEligible");
  }
  for (const char* address : {"ftp://127.0.0.1/", "not a url"}) {
    auto cleaner = makeCleaner({.endpoint = QUrl(QString::fromUtf8(address))});
    EXPECT_EQ(cleaner->status(), AIStatus::unknown) << address;
  }
}

TEST(ModelEndpoint, OnlyLoopbackHostsMayBeContacted) {
  for (const char* address : {"http://127.0.0.1:8080", "http://127.0.0.2", "http://[::1]:8080",
                              "http://LocalHost:11434/", "https://localhost/api"})
    EXPECT_EQ(endpointVerdict(QUrl(QString::fromUtf8(address))), std::nullopt) << address;
  for (const char* address : {"http://192.168.1.2:8080", "http://localhost.example.com",
                              "http://[2001:db8::1]/", "http://0.0.0.0:8080"})
    EXPECT_EQ(endpointVerdict(QUrl(QString::fromUtf8(address))), AIStatus::notEligible) << address;
}

TEST(ModelEndpoint, RoutesGoBelowTheServerAddress) {
  const QString models = QStringLiteral("v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://127.0.0.1:8080"), models).toString(), "http://127.0.0.1:8080/v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://127.0.0.1:8080/"), models).toString(), "http://127.0.0.1:8080/v1/models");
  EXPECT_EQ(endpointRoute(QUrl("http://localhost/llm//?x=1#y"), models).toString(), "http://localhost/llm/v1/models");
}

TEST_F(LocalModelCleanerTest, LocalhostByNameIsProbed) {
  const int port = server.endpoint().port();
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
  cleaner->setEndpoint(server.endpoint());
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::ready; }));

  server.script(kModels, {503, "{}"});
  cleaner->refreshStatus();
  EXPECT_TRUE(test::spinUntil([&] { return cleaner->status() == AIStatus::downloading; }));
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

TEST_F(LocalModelCleanerTest, CleanOutlivesItsOwnersReference) {
  auto cleaner = readyCleaner();
  answerWith(QStringLiteral("Hello there, how are you?"), 100);
  QCoro::Task<CleanupResult> task = cleaner->clean(kSpoken, {});
  cleaner.reset();
  EXPECT_EQ(test::run(std::move(task)).kind, Kind::ai);
}

// ---- instruction text ---------------------------------------------------------------------

TEST(CleanupInstructions, WithoutTermsAnEmptyLineComesBeforeTheLastSentence) {
  const QString text = cleanupInstructions({});
  const QString ending = QStringLiteral("\nOutput only the cleaned text.");
  ASSERT_TRUE(text.endsWith(ending));
  const QString fixed = text.chopped(ending.size());
  EXPECT_EQ(fixed.size(), 695);
  EXPECT_EQ(fixed.count(u'\n'), 8);
  EXPECT_TRUE(fixed.startsWith("You clean up voice dictation. Someone spoke,"));
  EXPECT_TRUE(fixed.endsWith("clean it and output it as a question or order.\n"));
}

TEST(CleanupInstructions, TermsAreListedOnTheirOwnLine) {
  const QString text = cleanupInstructions({"Marguerite", "SQL", "Talvo"});
  EXPECT_EQ(text, cleanupInstructions({}).chopped(30) +
                      "- Spell these exactly: Marguerite, SQL, Talvo\nOutput only the cleaned text.");
}

TEST(CleanupInstructions, AtMostSixtyTerms) {
  QStringList terms;
  for (int i = 1; i <= 70; ++i) terms << QStringLiteral("T%1").arg(i);
  const QString text = cleanupInstructions(terms);
  EXPECT_TRUE(text.contains(", T59, T60\nOutput only the cleaned text."));
  EXPECT_FALSE(text.contains("T61"));
}

}  // namespace
}  // namespace talvo
