#include "dictionary/user_dictionary.h"
#include "pipeline/errors.h"
#include "storage/app_paths.h"
#include "storage/file_io.h"
#include "support/log_capture.h"

#include <QDir>
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
  void write(const QByteArray& data) { ASSERT_NO_THROW(file_io::writeAtomically(path, data)); }
  test::LogCapture log;
  QTemporaryDir dir;
  QString path = dir.filePath("dictionary.json");
};

TEST_F(DictionaryFile, SavesSortedPrettyJsonThatLoadsBack) {
  const UserDictionary dictionary{{"Marguerite", QString::fromUtf8("Zoë 😀")},
                                  {{"sequel", "SQL"}, {"a\"b", "c\\d"}}};
  dictionary.save(path);
  const QByteArray saved = *file_io::readAll(path, 1 << 26).data;
  EXPECT_EQ(saved.indexOf("\"fixes\""), 4);
  EXPECT_LT(saved.indexOf("\"fixes\""), saved.indexOf("\"words\""));
  EXPECT_LT(saved.indexOf("\"heard\""), saved.indexOf("\"meant\""));
  EXPECT_TRUE(saved.contains("\n      \"heard\": \"sequel\",\n"));
  EXPECT_EQ(UserDictionary::load(path), dictionary);
}

TEST_F(DictionaryFile, MissingFileIsEmpty) {
  EXPECT_EQ(UserDictionary::load(path), UserDictionary{});
}

TEST_F(DictionaryFile, DefaultPathIsInTheSupportFolder) {
  AppPaths::setSupport(dir.path());
  EXPECT_EQ(UserDictionary::defaultPath(), dir.filePath("dictionary.json"));
}

TEST_F(DictionaryFile, KeysMayComeInAnyOrderAndExtraKeysAreIgnored) {
  write(R"({"words":["A"],"fixes":[{"meant":"m","heard":"h","note":1}],"version":2})");
  EXPECT_EQ(UserDictionary::load(path), (UserDictionary{{"A"}, {{"h", "m"}}}));
}

TEST_F(DictionaryFile, EveryDamageIsKeptAsideOnce) {
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
  // Each damage twice: a copy already kept is not kept again.
  for (const QByteArray& data : damaged)
    for (int twice = 0; twice < 2; ++twice) {
      write(data);
      EXPECT_EQ(UserDictionary::load(path), UserDictionary{}) << data.left(60).toStdString();
    }
  write(damaged.front());
  UserDictionary::load(path);
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    const QString copy =
        path + (i == 0 ? QStringLiteral(".damaged") : QStringLiteral(".damaged-%1").arg(i + 1));
    EXPECT_EQ(file_io::readAll(copy, 1 << 26).data, damaged[i]) << copy.toStdString();
  }
  EXPECT_FALSE(QFile::exists(path + QStringLiteral(".damaged-%1").arg(damaged.size() + 1)));
  EXPECT_EQ(log.messages().filter("dictionary: could not read").size(), qsizetype(damaged.size()));
}

TEST_F(DictionaryFile, CopyThatCannotBeWrittenIsLogged) {
  // The name itself fits, the copy's name is too long for any file system.
  path = dir.filePath(QString(240, u'd'));
  write("not json");
  EXPECT_EQ(UserDictionary::load(path), UserDictionary{});
  const QStringList lines = log.messages();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].contains("nor keep a copy: could not write")) << lines[0].toStdString();
}

TEST_F(DictionaryFile, SpecialOrHugeFilesAreRefusedWithoutBlocking) {
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QFile huge(dir.filePath("huge"));
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(5 << 20));
  for (const QString& target : {fifo, QStringLiteral("/dev/zero"), huge.fileName()}) {
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(target, path));
    EXPECT_EQ(UserDictionary::load(path), UserDictionary{}) << target.toStdString();
  }
  EXPECT_EQ(UserDictionary::load(fifo), UserDictionary{});
  EXPECT_EQ(log.messages().filter("dictionary: not read: ").size(), 4);
  EXPECT_EQ(QDir(dir.path()).entryList({"*.damaged*"}), QStringList());
}

TEST_F(DictionaryFile, TenThousandFixesLoad) {
  UserDictionary big;
  for (int i = 0; i < 10000; ++i)
    big.fixes.push_back({QStringLiteral("h%1").arg(i), QStringLiteral("m%1").arg(i)});
  big.save(path);
  EXPECT_EQ(UserDictionary::load(path), big);
}

TEST_F(DictionaryFile, SaveFailuresThrow) {
  EXPECT_THROW(UserDictionary({{"A"}, {}}).save(dir.filePath("missing/dictionary.json")), Error);
}

}  // namespace
}  // namespace talvo
