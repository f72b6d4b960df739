#include "storage/app_paths.h"
#include "storage/file_io.h"
#include "storage/log.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace talvo {
namespace {

class LogTest : public testing::Test {
protected:
  void SetUp() override {
    Log::flush();
    AppPaths::setSupport(dir.path());
  }
  void TearDown() override { Log::setEcho(false); }
  QStringList lines() {
    Log::flush();
    const QByteArray data = file_io::readAll(dir.filePath("talvo.log"), 1 << 26).data.value_or(QByteArray());
    return QString::fromUtf8(data).split(u'\n', Qt::SkipEmptyParts);
  }
  QTemporaryDir dir;
};

TEST_F(LogTest, LinesCarryAUtcStampAndKeepCallOrder) {
  for (int i = 0; i < 200; ++i) Log::info(QStringLiteral("test: line %1").arg(i));
  const QStringList written = lines();
  ASSERT_EQ(written.size(), 200);
  static const QRegularExpression shape(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  test: line (\d+)$)");
  for (int i = 0; i < 200; ++i) {
    const auto match = shape.match(written[i]);
    ASSERT_TRUE(match.hasMatch()) << written[i].toStdString();
    EXPECT_EQ(match.captured(1).toInt(), i);
  }
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
  constexpr int threads = 4;
  constexpr int perThread = 100;
  const QString payload(300, u'x');
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([t, &payload] {
      for (int i = 0; i < perThread; ++i) Log::info(QStringLiteral("test: %1 %2 %3").arg(t).arg(i).arg(payload));
    });
  for (auto& worker : workers) worker.join();
  const QStringList written = lines();
  ASSERT_EQ(written.size(), threads * perThread);
  std::vector<int> next(threads, 0);
  for (const QString& line : written) {
    const QStringList parts = line.split(u' ');
    ASSERT_EQ(parts.size(), 6) << line.toStdString();
    EXPECT_EQ(parts[5], payload);
    const int thread = parts[3].toInt();
    EXPECT_EQ(parts[4].toInt(), next[thread]++);  // each thread's lines in its own order
  }
}

TEST_F(LogTest, EchoGoesToStandardErrorOnlyWhenOn) {
  testing::internal::CaptureStderr();
  Log::info(QStringLiteral("test: quiet"));
  Log::flush();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  Log::setEcho(true);
  EXPECT_TRUE(Log::echo());
  testing::internal::CaptureStderr();
  Log::info(QStringLiteral("test: loud"));
  const std::string echoed = testing::internal::GetCapturedStderr();
  EXPECT_NE(echoed.find("Z  test: loud\n"), std::string::npos);
  EXPECT_EQ(lines().size(), 2);
}

}  // namespace
}  // namespace talvo
