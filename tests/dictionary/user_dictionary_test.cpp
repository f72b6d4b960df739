#include "dictionary/user_dictionary.h"
#include "pipeline/errors.h"
#include "storage/app_paths.h"
#include "storage/file_io.h"
#include "storage/log.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace talvo {
namespace {

TEST(DictionaryTerms, TrimmedDistinctIgnoringCaseInOrder) {
  const UserDictionary dictionary{{" Foo", "foo", "Bar", "\t", ""}, {{"x", "bar"}, {"y", "Baz\t"}}};
  EXPECT_EQ(dictionary.terms(), (QStringList{"Foo", "Bar", "Baz"}));
  const UserDictionary lineBreak{{"\nQux"}, {}};
  EXPECT_EQ(lineBreak.terms(), QStringList{"\nQux"});  // only horizontal space is trimmed
}

TEST(DictionaryEditing, AddWordIgnoresCaseDuplicates) {
  UserDictionary dictionary{{"Marguerite"}, {}};
  dictionary.addWord("marguerite");
  EXPECT_EQ(dictionary.words, QStringList{"Marguerite"});
  dictionary.addWord("Kubernetes");
  EXPECT_EQ(dictionary.words, (QStringList{"Marguerite", "Kubernetes"}));
}

TEST(DictionaryEditing, AddFixReplacesTheSameHeardAndMovesItLast) {
  UserDictionary dictionary{{}, {{"new york", "NY"}, {"sequel", "SQL"}, {"NEW YORK", "N.Y."}}};
  dictionary.addFix("New York", "New York");
  EXPECT_EQ(dictionary.fixes,
            (std::vector<UserDictionary::Fix>{{"sequel", "SQL"}, {"New York", "New York"}}));
}

class DictionaryFile : public testing::Test {
protected:
  void SetUp() override { AppPaths::setSupport(dir.path()); }
  void write(const QByteArray& data) { ASSERT_NO_THROW(file_io::writeAtomically(path, data)); }
  QTemporaryDir dir;
  QString path = dir.filePath("dictionary.json");
};

TEST_F(DictionaryFile, SavesSortedPrettyJsonThatLoadsBack) {
  const UserDictionary dictionary{{"Marguerite", QString::fromUtf8("Zoë 😀")}, {{"sequel", "SQL"}, {"a\"b", "c\\d"}}};
  dictionary.save(path);
  const QByteArray saved = *file_io::readAll(path, 1 << 26).data;
  EXPECT_EQ(saved.indexOf("\"fixes\""), 4);
  EXPECT_LT(saved.indexOf("\"fixes\""), saved.indexOf("\"words\""));
  EXPECT_LT(saved.indexOf("\"heard\""), saved.indexOf("\"meant\""));
  EXPECT_TRUE(saved.contains("\n      \"heard\": \"sequel\",\n"));
  EXPECT_EQ(UserDictionary::load(path), dictionary);
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(DictionaryFile, MissingFileIsEmpty) { EXPECT_EQ(UserDictionary::load(path), UserDictionary{}); }

TEST_F(DictionaryFile, DefaultPathIsInTheSupportFolder) {
  EXPECT_EQ(UserDictionary::defaultPath(), dir.filePath("dictionary.json"));
}

TEST_F(DictionaryFile, KeysMayComeInAnyOrderAndExtraKeysAreIgnored) {
  write(R"({"words":["A"],"fixes":[{"meant":"m","heard":"h","note":1}],"version":2})");
  EXPECT_EQ(UserDictionary::load(path), (UserDictionary{{"A"}, {{"h", "m"}}}));
}

TEST_F(DictionaryFile, DamagedFilesLoadEmptyButAreKeptAside) {
  const std::vector<QByteArray> damaged{
      R"({"words":["Marguerite"]})",
      R"({"words":"Marguerite","fixes":[]})",
      R"({"words":[1],"fixes":[]})",
      R"({"words":[],"fixes":[{"heard":"a"}]})",
      R"({"words":[],"fixes":[["a","b"]]})",
      R"(["words","fixes"])",
      "not json at all",
      "{\"words\":[\"\xff\"],\"fixes\":[]}",
      QByteArray(1000000, '['),
  };
  for (const QByteArray& data : damaged) {
    write(data);
    EXPECT_EQ(UserDictionary::load(path), UserDictionary{}) << data.left(60).toStdString();
    EXPECT_EQ(file_io::readAll(path + ".damaged", 1 << 26).data, data);
  }
  Log::flush();
  EXPECT_TRUE(file_io::readAll(dir.filePath("talvo.log"), 1 << 26).data->contains("dictionary: could not read"));
}

TEST_F(DictionaryFile, TenThousandFixesLoad) {
  UserDictionary big;
  for (int i = 0; i < 10000; ++i) big.fixes.push_back({QStringLiteral("h%1").arg(i), QStringLiteral("m%1").arg(i)});
  big.save(path);
  EXPECT_EQ(UserDictionary::load(path), big);
}

TEST_F(DictionaryFile, SaveFailuresThrowAndLeaveTheOldFile) {
  const UserDictionary dictionary{{"A"}, {}};
  EXPECT_THROW(dictionary.save(dir.filePath("missing/dictionary.json")), Error);
  dictionary.save(path);
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0500), 0);
  bool threw = false;
  try {
    UserDictionary{{"B"}, {}}.save(path);
  } catch (const Error&) {
    threw = true;
  }
  ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
  // Root may write anyway; either way the file holds one whole dictionary.
  const UserDictionary now = UserDictionary::load(path);
  EXPECT_EQ(now, threw ? dictionary : (UserDictionary{{"B"}, {}}));
}

}  // namespace
}  // namespace talvo
