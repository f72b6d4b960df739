#include "storage/append_to_file.h"
#include "pipeline/errors.h"
#include "storage/file_io.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace talvo {
namespace {

class AppendToFileTest : public testing::Test {
protected:
  QByteArray contents() const { return file_io::readAll(path, 1 << 26).data.value_or("<missing>"); }
  QTemporaryDir dir;
  QString path = dir.filePath("talvo.log");
};

TEST_F(AppendToFileTest, CreatesAPrivateFileThenAppends) {
  appendToFile("one\n", path, 2'000'000);
  appendToFile("two\n", path, 2'000'000);
  EXPECT_EQ(contents(), "one\ntwo\n");
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(AppendToFileTest, PastTheBoundKeepsTheNewerHalfFromALineStart) {
  // 2,000,001 bytes of 100-byte lines (the last one a byte longer).
  QByteArray big;
  for (int i = 0; i < 20000; ++i) big += QByteArray(99, char('a' + i % 26)) + '\n';
  big.insert(0, 'x');
  ASSERT_EQ(big.size(), 2'000'001);
  ASSERT_NO_THROW(file_io::writeAtomically(path, big));
  appendToFile("new line\n", path, 2'000'000);
  const QByteArray kept = contents();
  EXPECT_LE(kept.size(), 1'000'000);
  EXPECT_TRUE(kept.endsWith("\nnew line\n"));
  const QByteArray whole = big + "new line\n";
  const QByteArray tail = whole.right(1'000'000);
  EXPECT_EQ(kept, tail.mid(tail.indexOf('\n') + 1));
}

TEST_F(AppendToFileTest, TheSizeBeforeTheWriteDecides) {
  ASSERT_NO_THROW(file_io::writeAtomically(path, QByteArray(100, 'a')));
  appendToFile(QByteArray(50, 'b'), path, 100);
  EXPECT_EQ(contents().size(), 150);  // 100 is not more than 100
  appendToFile("c\nd", path, 100);
  EXPECT_EQ(contents(), "d");  // last 50 bytes, after their first line feed
}

TEST_F(AppendToFileTest, ATailWithoutLineFeedIsKeptWhole) {
  ASSERT_NO_THROW(file_io::writeAtomically(path, QByteArray(30, 'a')));
  appendToFile("bbbb", path, 20);
  EXPECT_EQ(contents(), QByteArray(6, 'a') + "bbbb");
}

TEST_F(AppendToFileTest, AnUnwritablePlaceIsIgnored) {
  appendToFile("x", dir.filePath("no/such/folder/file"), 10);
  EXPECT_FALSE(QFile::exists(dir.filePath("no")));
}

TEST(AtomicWrite, ReplacesTheWholeFileAndReportsFailures) {
  QTemporaryDir dir;
  const QString path = dir.filePath("data.json");
  EXPECT_NO_THROW(file_io::writeAtomically(path, "first, and longer"));
  EXPECT_NO_THROW(file_io::writeAtomically(path, "second"));
  EXPECT_EQ(file_io::readAll(path, 1 << 26).data, QByteArray("second"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary left
  EXPECT_THROW(file_io::writeAtomically(dir.filePath("missing/data.json"), "x"), talvo::Error);
}

}  // namespace
}  // namespace talvo
