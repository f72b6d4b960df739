#include "pipeline/errors.h"
#include "support/log_capture.h"
#include "support/loopback_http.h"
#include "support/task_runner.h"
#include "updates/updates.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

using Updates::isNewer;

TEST(IsNewer, ComparesDottedVersions) {
  // Whether the first is newer; overflowing parts read as 0.
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"1.2.10", "1.2.9", true},
      {"1.2", "1.2.0", false},
      {"1.2.0", "1.2", false},
      {"2", "1.9.9", true},
      {"1.0", "1.0.1", false},
      {"1.3b", "1.3", false},
      {"1.10.2-beta", "1.9", true},
      {"0.0.1", "dev", true},
      {"dev", "0", false},
      {"1..2", "1.2", false},
      {"1.1", "1.99999999999999999999999", true}};
  for (const auto& [a, b, newer] : cases) EXPECT_EQ(isNewer(a, b), newer) << a << " vs " << b;
}

TEST(UpdateInfo, DecodesAndEncodes) {
  const UpdateInfo bare =
      UpdateInfo::decode(R"({"version":"1.4","url":"https://x/d","extra":[1]})");
  EXPECT_EQ(bare, (UpdateInfo{"1.4", "https://x/d", std::nullopt}));
  EXPECT_EQ(bare.encode(), R"({"version":"1.4","url":"https://x/d"})");
  const UpdateInfo full{"2.0", "https://x/d", QString("Faster.")};
  EXPECT_EQ(UpdateInfo::decode(full.encode()), full);
  EXPECT_THROW(UpdateInfo::decode(R"({"version":1,"url":"u"})"), Error);
  EXPECT_THROW(UpdateInfo::decode(R"(["version"])"), Error);
}

TEST(UpdateFeed, OnlyHttpsOrThisMachine) {
  for (const auto& [address, usable] : {std::pair{"https://example.org/version.json", true},
                                        {"http://127.0.0.1:8080/version.json", true},
                                        {"http://[::1]/version.json", true},
                                        {"http://example.org/version.json", false},
                                        {"ftp://127.0.0.1/version.json", false},
                                        {"version.json", false}})
    EXPECT_EQ(Updates::usableFeed(QUrl(address)), usable) << address;
}

const QByteArray kFeed = "/version.json";

class UpdateCheckTest : public ::testing::Test {
protected:
  std::optional<UpdateInfo> check(const QString& current,
                                  double timeout = Updates::kRequestTimeout) {
    return test::run(Updates::check(current, server.url(kFeed), timeout));
  }
  void answer(int status, QByteArray body) {
    server.script(kFeed, {.status = status, .body = std::move(body)});
  }

  test::LogCapture log;
  test::LoopbackHttp server;
};

TEST_F(UpdateCheckTest, BuiltWithoutFeedChecksNothing) {
  EXPECT_TRUE(Updates::feed().isEmpty());
  EXPECT_EQ(test::run(Updates::check("0.1.0")), std::nullopt);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(UpdateCheckTest, NewerVersionIsReturned) {
  const QByteArray document =
      R"({"version":"1.3.0","url":"https://talvo.example/download","notes":"Quicker."})";
  // Padded to exactly the size limit, which is still read.
  server.script(kFeed, {.body = document, .filler = Updates::kMaxDocumentBytes - document.size()});
  EXPECT_EQ(check("1.2.9"),
            (UpdateInfo{"1.3.0", "https://talvo.example/download", QString("Quicker.")}));
  EXPECT_EQ(server.count(kFeed), 1);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(UpdateCheckTest, EqualOrOlderVersionOrNotFoundIsQuietlyNoUpdate) {
  answer(200, R"({"version":"1.2","url":"https://talvo.example/download"})");
  EXPECT_EQ(check("1.2.0"), std::nullopt);
  EXPECT_EQ(check("1.3"), std::nullopt);
  answer(404, "<html>nothing here</html>");
  EXPECT_EQ(check("1.0"), std::nullopt);
  EXPECT_TRUE(log.messages().isEmpty());
}

TEST_F(UpdateCheckTest, UndecodableDocumentsAreLogged) {
  answer(200, R"({"version": "2.0", "url": )");
  EXPECT_EQ(check("1.0"), std::nullopt);
  answer(200, R"({"version":"2.0","notes":"no link"})");
  EXPECT_EQ(check("1.0"), std::nullopt);
  const QStringList lines = log.messages();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith("update check skipped: The version document is not valid JSON"));
  EXPECT_EQ(lines[1], "update check skipped: The version document has no \"url\".");
}

TEST_F(UpdateCheckTest, HugeBodyIsAbandoned) {
  server.script(kFeed, {.announceLength = false, .filler = 64 << 20});
  EXPECT_EQ(check("1.0"), std::nullopt);
  // Given up while it was still arriving.
  EXPECT_TRUE(test::spinUntil([&] { return server.hungUpEarly() == 1; }));
  answer(200, QByteArray(qsizetype{100} * 1024, ' ') + R"({"version":"9","url":"u"})");
  EXPECT_EQ(check("1.0"), std::nullopt);
  EXPECT_EQ(log.messages(),
            QStringList(2, "update check skipped: The version document is larger than 64 KB."));
}

TEST_F(UpdateCheckTest, SilentServerTimesOut) {
  server.script(kFeed, {.silent = true});
  EXPECT_EQ(check("1.0", 0.3), std::nullopt);
  EXPECT_EQ(log.messages(), QStringList{"update check skipped: The request timed out."});
}

TEST_F(UpdateCheckTest, RefusedConnectionIsLogged) {
  const QUrl closed = server.url(kFeed);
  server.close();
  EXPECT_EQ(test::run(Updates::check("1.0", closed)), std::nullopt);
  const QStringList lines = log.messages();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith("update check skipped: ")) << lines[0].toStdString();
}

TEST_F(UpdateCheckTest, PlainHttpElsewhereIsNotAsked) {
  EXPECT_EQ(test::run(Updates::check("1.0", QUrl("http://192.0.2.1/version.json"))), std::nullopt);
  EXPECT_EQ(log.messages(), QStringList{"update check skipped: The feed address must use https."});
}

}  // namespace
}  // namespace talvo
