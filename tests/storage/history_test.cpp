#include "storage/history.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sys/stat.h>

namespace talvo {
namespace {

History::Entry entry(int i) {
  return {1700000000.0 + i, QStringLiteral("text %1").arg(i), QStringLiteral("raw %1").arg(i),
          QStringLiteral("rules"), 1.5, QStringLiteral("pasted")};
}

QByteArray line(int i) {
  return QStringLiteral(R"({"ts":%1.0,"text":"text %2","raw":"raw %2","cleanup":"rules","seconds":1.5,"outcome":"pasted"})")
             .arg(1700000000 + i)
             .arg(i)
             .toUtf8() +
         "\n";
}

class HistoryTest : public testing::Test {
protected:
  QByteArray contents() const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void write(const QByteArray& data) const {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
  }
  std::vector<int> numbersOf(const std::vector<History::Entry>& entries) const {
    std::vector<int> numbers;
    for (const auto& e : entries) numbers.push_back(int(e.ts - 1700000000.0));
    return numbers;
  }

  QTemporaryDir dir;
  QString path = dir.filePath("history.jsonl");
};

TEST_F(HistoryTest, FirstAppendCreatesOnePrivateLineInKeyOrder) {
  History history(path, 500);
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(history.recent(100).empty());
  history.append({1.25, "Hello \"you\"\n", "hello you", "ai", 2.0, "held back: notText"});
  EXPECT_EQ(contents(),
            R"({"ts":1.25,"text":"Hello \"you\"\n","raw":"hello you","cleanup":"ai","seconds":2.0,"outcome":"held back: notText"})"
            "\n");
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(HistoryTest, EntriesRoundTripIncludingUnicode) {
  History history(path, 500);
  const History::Entry fancy{1712345678.123, QString::fromUtf8("Ünïcödé 😀 [[[[[[[[[[[[[[[[[[[[{{{{{{{{{{\\\" ok"), "raw", "rules", 0.3, "copied"};
  history.append(fancy);
  ASSERT_EQ(history.recent(1).size(), 1u);
  EXPECT_EQ(history.recent(1)[0], fancy);
}

TEST_F(HistoryTest, RecentIsNewestFirstAndBounded) {
  History history(path, 500);
  for (int i = 0; i < 30; ++i) history.append(entry(i));
  EXPECT_TRUE(history.recent(0).empty());
  EXPECT_TRUE(history.recent(-5).empty());
  const auto all = history.recent(100);
  ASSERT_EQ(all.size(), 30u);
  EXPECT_EQ(all.front(), entry(29));
  EXPECT_EQ(all.back(), entry(0));
  EXPECT_EQ(numbersOf(history.recent(3)), (std::vector<int>{29, 28, 27}));
}

TEST_F(HistoryTest, TrimsToCapOnlyPastTheLimit) {
  QByteArray full;
  for (int i = 0; i < 549; ++i) full += line(i);
  write(full);
  History history(path, 500);
  history.append(entry(549));
  EXPECT_EQ(contents().count('\n'), 550);
  history.append(entry(550));
  EXPECT_EQ(contents().count('\n'), 500);
  const auto kept = history.recent(1000);
  ASSERT_EQ(kept.size(), 500u);
  EXPECT_EQ(kept.front(), entry(550));
  EXPECT_EQ(kept.back(), entry(51));
  EXPECT_TRUE(contents().startsWith(line(51)));
}

TEST_F(HistoryTest, SmallCapTrimsRepeatedly) {
  History history(path, 10);  // limit 11
  for (int i = 0; i < 30; ++i) history.append(entry(i));
  // 12th append trims to 10; then grows to 11, trims at the next, and so on.
  const auto kept = history.recent(100);
  EXPECT_LE(kept.size(), 11u);
  EXPECT_GE(kept.size(), 10u);
  EXPECT_EQ(kept.front(), entry(29));
}

TEST_F(HistoryTest, DamagedLinesAreSkippedAndVanishOnlyAtTrim) {
  const QByteArray missingOutcome = R"({"ts":5,"text":"t","raw":"r","cleanup":"rules","seconds":1})" "\n";
  const QByteArray wrongType = R"({"ts":"5","text":"t","raw":"r","cleanup":"rules","seconds":1,"outcome":"x"})" "\n";
  const QByteArray badUtf8 = "{\"ts\":5,\"text\":\"\xff\xfe\",\"raw\":\"r\",\"cleanup\":\"rules\",\"seconds\":1,\"outcome\":\"x\"}\n";
  static const char nulBytes[] = "{\"ts\":5,\"text\":\"a\0b\"}\n";
  const QByteArray withNul(nulBytes, sizeof nulBytes - 1);
  const QByteArray damaged = line(0) + "garbage {{{\n" + missingOutcome + line(1) + wrongType + badUtf8 +
                             withNul + "\n\n" + "[1,2,3]\n" + line(2);
  write(damaged);
  History history(path, 2);  // limit 2: the next append trims
  EXPECT_EQ(numbersOf(history.recent(100)), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(contents(), damaged);  // reading changes nothing
  history.append(entry(3));
  EXPECT_EQ(contents(), line(2) + line(3));
}

TEST_F(HistoryTest, KeyOrderAndUnknownKeysDoNotMatterWhenReading) {
  write(R"({"outcome":"pasted","seconds":3,"cleanup":"ai","raw":"r","text":"t","ts":7,"extra":[1]})" "\n");
  History history(path, 500);
  const auto entries = history.recent(10);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], (History::Entry{7, "t", "r", "ai", 3, "pasted"}));
}

TEST_F(HistoryTest, BlankLinesAndAMissingFinalLineFeedAreHarmless) {
  write("\n" + line(0) + "\n\n" + line(1).chopped(1));
  History history(path, 500);
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{1, 0}));
  history.append(entry(2));
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{2, 1, 0}));
}

TEST_F(HistoryTest, AnAppendAfterACutShortLineStillLands) {
  write(line(0) + line(1).left(30));
  History history(path, 500);
  history.append(entry(2));
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{2, 0}));
}

TEST_F(HistoryTest, NonFiniteNumbersAreNotStored) {
  History history(path, 500);
  auto bad = entry(0);
  bad.seconds = std::numeric_limits<double>::quiet_NaN();
  history.append(bad);
  bad = entry(1);
  bad.ts = std::numeric_limits<double>::infinity();
  history.append(bad);
  EXPECT_FALSE(QFile::exists(path));
  history.append(entry(2));
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{2}));
}

TEST_F(HistoryTest, ClearDeletesTheFileAndTheStoreStaysUsable) {
  History history(path, 500);
  history.clear();  // nothing there: no error
  history.append(entry(0));
  history.clear();
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(history.recent(10).empty());
  history.append(entry(1));
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{1}));
}

TEST_F(HistoryTest, HugeAndHostileLinesCostOnlyThemselves) {
  QByteArray tenMegabytes(10 * 1024 * 1024, '[');
  const QByteArray deepValue = R"({"extra":)" + QByteArray(1000000, '{');
  write(line(0) + tenMegabytes + "\n" + QByteArray(100000, '\0') + "\n" + deepValue + "\n" + line(1));
  History history(path, 500);
  EXPECT_EQ(numbersOf(history.recent(10)), (std::vector<int>{1, 0}));
  History::Entry longText = entry(2);
  longText.text = QString(100000, QChar(u'é'));
  history.append(longText);
  ASSERT_EQ(history.recent(1).size(), 1u);
  EXPECT_EQ(history.recent(1)[0], longText);
}

TEST_F(HistoryTest, AMissingFolderLosesTheEntryQuietly) {
  History history(dir.filePath("absent/history.jsonl"), 500);
  history.append(entry(0));
  EXPECT_TRUE(history.recent(10).empty());
  history.clear();
}

}  // namespace
}  // namespace talvo
