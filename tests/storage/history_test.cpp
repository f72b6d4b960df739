#include "storage/history.h"
#include "pipeline/errors.h"
#include "storage/append_to_file.h"
#include "storage/file_io.h"
#include "storage/history_codec.h"
#include "special_files.h"
#include "support/log_capture.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace talvo {
namespace {

History::Entry entry(int i) {
  return {1700000000.0 + i,
          QStringLiteral("text %1").arg(i),
          QStringLiteral("raw %1").arg(i),
          "rules",
          1.5,
          "pasted"};
}
QByteArray line(int i) { return *history_codec::encode(entry(i)) + '\n'; }

class HistoryTest : public testing::Test {
protected:
  QByteArray contents() const { return file_io::readAll(path, 1 << 26).data.value_or(""); }
  void write(const QByteArray& data) const { file_io::writeAtomically(path, data); }
  qsizetype logged(const QString& text) const { return log.messages().filter(text).size(); }
  static std::vector<int> recent(const History& history, int n = 1000) {
    std::vector<int> numbers;
    for (const auto& e : history.recent(n)) numbers.push_back(int(e.ts - 1700000000.0));
    return numbers;
  }

  test::LogCapture log;
  QTemporaryDir dir;
  QString path = dir.filePath("history.jsonl");
};

TEST_F(HistoryTest, BoundedAppendCutsByTheSizeBeforeTheWriteAndKeepsOnlyTheTail) {
  appendToFile(QByteArray(60, 'a'), path, 100);  // created
  appendToFile(QByteArray(40, 'a'), path, 100);
  appendToFile(QByteArray(50, 'b'), path, 100);
  EXPECT_EQ(contents().size(), 150);  // 100 is not more than 100
  appendToFile("c\nd", path, 100);
  EXPECT_EQ(contents(), "d");  // last 50 bytes, after their first line feed
  write(QByteArray(30, 'a'));
  appendToFile("bbbb", path, 20);
  EXPECT_EQ(contents(), QByteArray(6, 'a') + "bbbb");  // no line feed: the tail is kept whole
  write(QByteArray(5000, 'a') + "\nend\n");            // far past the bound
  appendToFile("new\n", path, 100);
  EXPECT_EQ(contents(), "end\nnew\n");
}

// A name with no room for the temporary file's suffix: like a read-only folder holding a
// writable file, the atomic replacement fails while appending still works.
TEST_F(HistoryTest, BoundedAppendCutsInPlaceWithoutATemporaryFile) {
  path = dir.filePath(QString(250, u'n'));
  ASSERT_THROW(file_io::writeAtomically(path, "x"), Error);
  for (int i = 0; i < 100; ++i) appendToFile(QByteArray::number(i) + '\n', path, 20);
  EXPECT_LE(contents().size(), 23);
  EXPECT_TRUE(contents().endsWith("98\n99\n"));
}

TEST_F(HistoryTest, FirstStorableAppendCreatesOnePrivateLineInKeyOrder) {
  History history(path, 500);
  history.append({qQNaN(), "t", "r", "rules", 1, "pasted"});  // JSON has no NaN or infinity
  history.append({1, "t", "r", "rules", qInf(), "pasted"});
  EXPECT_TRUE(history.recent(100).empty() && !QFile::exists(path));
  history.append({1.25, "Hello \"you\"\n", "hello you", "ai", 2.0, "held back: notText"});
  EXPECT_EQ(
      contents(),
      R"({"ts":1.25,"text":"Hello \"you\"\n","raw":"hello you","cleanup":"ai","seconds":2.0,"outcome":"held back: notText","engine":"pocketsphinx"})"
      "\n");
  EXPECT_EQ(QFile::permissions(path),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
  const History::Entry fancy{
      1712345678.123, QString::fromUtf8("Ünïcödé 😀 [[[[{{{{\\\" ok"), "raw", "rules", 0.3,
      "copied"};
  history.append(fancy);
  EXPECT_EQ(history.recent(1), std::vector{fancy});
}

// Lines from before the engine was recorded were all heard by the recogniser.
TEST_F(HistoryTest, EngineIsKeptAndAbsentMeansTheRecogniser) {
  write(
      R"({"ts":1,"text":"t","raw":"r","cleanup":"rules","seconds":1,"outcome":"pasted"})"
      "\n"
      R"({"ts":2,"text":"t","raw":"r","cleanup":"rules","seconds":1,"outcome":"pasted","engine":7})"
      "\n");
  History history(path, 500);
  History::Entry heard = entry(3);
  heard.engine = "server";
  history.append(heard);
  const std::vector<History::Entry> entries = history.recent(10);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], heard);
  EXPECT_EQ(entries[1].engine, "pocketsphinx");
  EXPECT_EQ(entries[2].engine, "pocketsphinx");
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
  EXPECT_TRUE(contents().startsWith(line(51)));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"history.jsonl"});  // no temporary left
}

// The temporary file is written, then cannot take the place of a folder.
TEST_F(HistoryTest, AFailedReplacementLeavesNoTemporaryFile) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  EXPECT_THROW(file_io::writeAtomically(dir.filePath("folder"), "x"), Error);
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(HistoryTest, DamagedLinesAreSkippedAndVanishOnlyAtTrim) {
  const QByteArray damaged =
      line(0) +
      "garbage {{{\n"
      R"({"ts":5,"text":"t","raw":"r","cleanup":"rules","seconds":1})"
      "\n"
      // Entry 1, with its keys in another order and one more.
      R"({"outcome":"pasted","seconds":1.5,"cleanup":"rules","raw":"raw 1","text":"text 1","ts":1700000001,"x":[1]})"
      "\n"
      R"({"ts":"5","text":"t","raw":"r","cleanup":"rules","seconds":1,"outcome":"x"})"
      "\n"
      "{\"ts\":5,\"text\":\"\xff\xfe\",\"raw\":\"r\",\"cleanup\":\"rules\",\"seconds\":1,"
      "\"outcome\":\"x\"}\n" +
      "[1,2,3]\n" + line(2);
  write(damaged);
  History history(path, 2);  // limit 2: the next append trims
  EXPECT_EQ(recent(history), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(contents(), damaged);  // reading changes nothing
  history.append(entry(3));
  EXPECT_EQ(contents(), line(2) + line(3));
}

TEST_F(HistoryTest, DamagedLinesInTheMajorityNeitherPadNorLose) {
  History history(path, 10);  // limit 11
  for (int i = 0; i < 11; ++i) history.append(entry(i));
  // Damaged behind the store's back: it counts 11 entries, the file now holds 2.
  const QByteArray damaged = QByteArray("garbage\n").repeated(20) + line(0) + line(1);
  write(damaged);
  history.append(entry(11));
  EXPECT_EQ(recent(history), (std::vector<int>{11, 1, 0}));
  EXPECT_EQ(contents(), damaged + line(11));
}

TEST_F(HistoryTest, BlankLinesAndAMissingFinalLineFeedAreHarmlessAndClearStartsAfresh) {
  write("\n" + line(0) + "\n\n" + line(1).chopped(1));
  History history(path, 500);
  EXPECT_EQ(recent(history), (std::vector<int>{1, 0}));
  history.append(entry(2));
  EXPECT_EQ(recent(history, 2), (std::vector<int>{2, 1}));
  EXPECT_TRUE(history.recent(0).empty() && history.recent(-5).empty());
  history.clear();
  EXPECT_FALSE(QFile::exists(path));
  history.clear();  // nothing there: no error
  history.append(entry(3));
  EXPECT_EQ(recent(history), std::vector{3});
}

TEST_F(HistoryTest, HugeAndHostileLinesCostOnlyThemselves) {
  write(line(0) + R"({"extra":)" + QByteArray(1000000, '{') + "\n");
  QFile file(path);
  ASSERT_TRUE(file.resize(file.size() + (100 << 20)));  // a 100 MB line of zeros, as a hole
  ASSERT_TRUE(file.open(QIODevice::Append) && file.write("\n" + line(1)) > 0 && file.flush());
  History history(path, 500);
  EXPECT_EQ(recent(history), (std::vector<int>{1, 0}));
  History::Entry longText = entry(2);
  longText.text = QString(100000, QChar(u'é'));
  history.append(longText);
  EXPECT_EQ(history.recent(1), std::vector{longText});
}

TEST_F(HistoryTest, TheCapHoldsWhenTheFileCannotBeReplaced) {
  path = dir.filePath(QString(250, u'h'));  // as above
  History history(path, 10);                // limit 11
  for (int i = 0; i < 40; ++i) history.append(entry(i));
  EXPECT_EQ(recent(history), (std::vector<int>{39, 38, 37, 36, 35, 34, 33, 32, 31, 30}));
  EXPECT_EQ(contents().count('\n'), 10);
  EXPECT_EQ(logged("File name too long; trimmed it in place"), 1);
}

class HistorySpecialFileTest : public HistoryTest,
                               public testing::WithParamInterface<test::Special> {};
TEST_P(HistorySpecialFileTest, IsNeitherReadNorWritten) {
  const auto fifo = test::makeSpecial(GetParam(), path);
  History history(path, 500);
  for (int i = 0; i < 2; ++i) history.append(entry(i));
  EXPECT_TRUE(history.recent(10).empty());
  EXPECT_EQ(logged("history: could not keep a dictation: could not write " + path +
                   ": not a regular file"),
            1);
}
INSTANTIATE_TEST_SUITE_P(All, HistorySpecialFileTest,
                         testing::Values(test::Special::fifo, test::Special::linkToFifo,
                                         test::Special::linkToDevice));

// Appenders and a reader at once, with a cap that never trims and one that trims under load.
class HistoryConcurrency : public HistoryTest, public testing::WithParamInterface<int> {};
constexpr int writers = 4, perWriter = 40;

// Whether, newest first, each writer's entries (numbered writer * 1000 + i) are exactly as
// written and count down by one, from its last once the writers are `finished`: trims keep
// the newest, so what is left of each writer is the tail of its sequence.
bool wellOrdered(const std::vector<History::Entry>& entries, bool finished) {
  std::vector<int> next(writers, finished ? perWriter - 1 : -2);  // -2: any
  for (const auto& e : entries) {
    const int n = int(e.ts - 1700000000.0);
    const int i = n % 1000;
    int& expected = next[std::size_t(n / 1000 % writers)];
    if (expected == -2) expected = i;
    if (e != entry(n) || i != expected--) return false;
  }
  return true;
}

TEST_P(HistoryConcurrency, ReadersSeeWholeOrderedListsAndTheNewestAreKept) {
  const int cap = GetParam();
  History history(path, cap);
  std::atomic<bool> writing{true};
  std::atomic<int> badReads{0};
  std::thread reader([&] {
    while (writing) badReads += !wellOrdered(history.recent(10000), false);
  });
  std::vector<std::thread> appenders;
  appenders.reserve(writers);
  for (int w = 0; w < writers; ++w)
    appenders.emplace_back([&history, w] {
      for (int i = 0; i < perWriter; ++i) history.append(entry(w * 1000 + i));
    });
  for (auto& appender : appenders) appender.join();
  writing = false;
  reader.join();
  EXPECT_EQ(badReads, 0);
  const auto kept = history.recent(10000);
  EXPECT_TRUE(wellOrdered(kept, true));
  EXPECT_GE(kept.size(), std::size_t(std::min(cap, writers * perWriter)));
  EXPECT_LE(kept.size(), std::size_t(std::min(cap + cap / 10, writers * perWriter)));
}
INSTANTIATE_TEST_SUITE_P(Caps, HistoryConcurrency, testing::Values(1000, 20));

}  // namespace
}  // namespace talvo
