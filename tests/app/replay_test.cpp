// The replay harness on a directory of awkward files, with the real recogniser.
#include "replay/replay.h"

#include "cleanup/local_model_cleaner.h"
#include "speech/sphinx_transcriber.h"
#include "storage/app_paths.h"
#include "support/task_runner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

namespace talvo {
namespace {

const QString librivox = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/");
const QString shortClip = librivox + "sense_and_sensibility_01_austen_64kb-0930.wav";

bool sox(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("sox"), arguments) == 0;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

class ReplayTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    AppPaths::setSupport(dir.filePath("support"));
    QDir().mkpath(dir.filePath("support"));
  }

  QString path(const QString& name) const { return dir.filePath("clips/" + name); }

  // Runs the harness at `speed` and returns its printed lines.
  QStringList run(double speed) {
    ReplayOptions options;
    options.transcriber = transcriber;
    LocalModelCleaner::Options cleanerOptions;
    cleanerOptions.enabled = false;
    options.cleaner = LocalModelCleaner::create(cleanerOptions);
    options.useAI = false;
    options.speed = speed;
    QStringList lines;
    options.print = [&lines](const QString& line) { lines << line; };
    test::run(replay(dir.filePath("clips"), options));
    return lines;
  }

  static std::shared_ptr<speech::SphinxTranscriber> transcriber;
  QTemporaryDir dir;
};

std::shared_ptr<speech::SphinxTranscriber> ReplayTest::transcriber =
    std::make_shared<speech::SphinxTranscriber>();

QStringList clipLinesOf(const QStringList& lines) {
  QStringList clips;
  for (const QString& line : lines)
    if (!line.startsWith(' ') && !line.startsWith("cleanup:") && !line.startsWith("median") &&
        !line.startsWith("wrote"))
      clips << line.section(QRegularExpression("[ :]"), 0, 0);
  return clips;
}

TEST_F(ReplayTest, EmptyDirectoryWritesAnEmptyArray) {
  QDir().mkpath(path(""));
  const QStringList lines = run(1.0);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], "cleanup: Zirad Ediviv off");
  EXPECT_EQ(lines[1], "wrote " + QDir(path("")).absoluteFilePath("replay-rules.json"));
  QFile out(path("replay-rules.json"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.readAll().trimmed(), "[]");
}

TEST_F(ReplayTest, MissingDirectoryStillReports) {
  const QStringList lines = run(1.0);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].startsWith("wrote "));
}

// Awkward files: the run ends, skips what cannot be opened, and reports every other clip
// in name order. Played faster than real time to keep the suite quick.
TEST_F(ReplayTest, AwkwardFilesAreSkippedOrReported) {
  QDir().mkpath(path("sub"));
  ASSERT_TRUE(sox({shortClip, path("b-stereo44.wav"), "rate", "44100", "channels", "2"}));
  ASSERT_TRUE(sox({shortClip, "-b", "8", "-e", "unsigned-integer", path("c-eight-bit.wav")}));
  ASSERT_TRUE(sox({"-n", "-r", "16000", "-c", "1", "-b", "16", path("d-long.wav"), "synth", "180",
                   "whitenoise", "vol", "0.01"}));
  ASSERT_TRUE(sox({"-n", "-r", "16000", "-c", "1", "-b", "16", path("e-empty.wav"), "trim", "0", "0"}));
  QFile whole(shortClip);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QByteArray bytes = whole.readAll();
  writeFile(path("a-truncated.wav"), bytes.left(bytes.size() / 2));
  writeFile(path("a-truncated.said"), "\xff\xfe he might \xc3 even");
  writeFile(path("b-stereo44.said"), "he might even have been made amiable himself\n");
  writeFile(path("x.wav"), "this is not audio\n");
  ASSERT_TRUE(QFile::copy(shortClip, path("f-upper.WAV")));
  ASSERT_TRUE(QFile::copy(shortClip, path("sub/g-inner.wav")));

  const QStringList lines = run(8.0);
  EXPECT_EQ(lines.first(), "cleanup: Zirad Ediviv off");
  EXPECT_TRUE(lines.last().startsWith("wrote "));
  EXPECT_EQ(clipLinesOf(lines), (QStringList{"a-truncated.wav", "b-stereo44.wav", "c-eight-bit.wav",
                                             "d-long.wav", "e-empty.wav"}))
      << lines.join('\n').toStdString();

  QFile out(path("replay-rules.json"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  const auto results = nlohmann::json::parse(out.readAll().toStdString());
  ASSERT_TRUE(results.is_array());
  std::vector<std::string> files;
  for (const auto& r : results) files.push_back(r["file"]);
  // Real speech at an odd rate and sample type still comes out as a record.
  EXPECT_NE(std::find(files.begin(), files.end(), "b-stereo44.wav"), files.end());
  EXPECT_NE(std::find(files.begin(), files.end(), "c-eight-bit.wav"), files.end());
  EXPECT_EQ(std::find(files.begin(), files.end(), "e-empty.wav"), files.end());
  for (const auto& r : results)
    if (r["file"] == "b-stereo44.wav") {
      EXPECT_LT(r["wer_raw"].get<double>(), 0.5) << r.dump();
    }
}

}  // namespace
}  // namespace talvo
