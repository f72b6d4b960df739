#include "storage/app_paths.h"
#include "storage/log.h"
#include "support/log_capture.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace talvo {
namespace {

TEST(Log, LinesFromManyThreadsAreWholeAndInCallOrder) {
  test::LogCapture log;
  const QString payload(300, u'x');
  std::vector<std::thread> workers;
  workers.reserve(4);
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([t, &payload] {
      for (int i = 0; i < 100; ++i)
        Log::info(QStringLiteral("test: %1 %2 %3").arg(t).arg(i).arg(payload));
    });
  for (auto& worker : workers) worker.join();
  const QStringList written = log.messages();
  ASSERT_EQ(written.size(), 400);
  std::vector<int> next(4, 0);
  for (const QString& line : written) {
    const QStringList parts = line.split(u' ');
    ASSERT_TRUE(parts.size() == 4 && parts[3] == payload) << line.toStdString();
    EXPECT_EQ(parts[2].toInt(), next[std::size_t(parts[1].toInt())]++);  // each thread in order
  }
}

TEST(Log, StandardErrorHearsEchoedLinesAndTheLogsOwnFailureOnce) {
  using testing::internal::CaptureStderr, testing::internal::GetCapturedStderr;
  test::LogCapture log;
  CaptureStderr();
  Log::info(QStringLiteral("test: quiet"));
  Log::flush();
  EXPECT_EQ(GetCapturedStderr(), "");
  Log::setEcho(true);
  CaptureStderr();
  Log::info(QStringLiteral("test: loud"));
  const QString echoed = QString::fromStdString(GetCapturedStderr());
  static const QRegularExpression stamped(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  test: loud\n$)");
  EXPECT_TRUE(stamped.match(echoed).hasMatch()) << echoed.toStdString();
  EXPECT_EQ(log.messages(), (QStringList{"test: quiet", "test: loud"}));
  // The log's own failures have nowhere else to go.
  Log::setEcho(false);
  AppPaths::setSupport(QStringLiteral("/dev/null/talvo"));
  CaptureStderr();
  Log::info(QStringLiteral("test: first"));
  Log::info(QStringLiteral("test: second"));
  Log::flush();
  const std::string said = GetCapturedStderr();
  EXPECT_NE(said.find("talvo.log: Not a directory; lost log line: "), std::string::npos) << said;
  EXPECT_TRUE(said.find("Z  test: first\n") != std::string::npos &&
              said.find("second") == std::string::npos);
}

}  // namespace
}  // namespace talvo
