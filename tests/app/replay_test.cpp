// The replay harness on one folder of awkward files, with the real recogniser. One run,
// played eight times faster than real time, because each clip costs seconds.
#include "replay/replay.h"

#include "cleanup/local_model_cleaner.h"
#include "speech/sphinx_transcriber.h"
#include "support/log_capture.h"
#include "support/task_runner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo {
namespace {

const QString librivox = QStringLiteral(
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-");

TEST(Replay, AwkwardFilesGetOneLineEachAndTheRunEnds) {
  const QString forged = QStringLiteral("b\nmedian release->text 1 ms, worst 1 ms, 1 clips");
  QTemporaryDir dir;
  test::LogCapture log;
  auto at = [&](const QString& name) { return dir.filePath("clips/" + name); };
  auto sox = [&](const QString& name, const QString& rate, const QStringList& effect) {
    return QProcess::execute(
        "sox", QStringList{"-n", "-r", rate, "-b", "16", "-c", "1", at(name)} + effect);
  };
  ASSERT_TRUE(QDir().mkpath(at("sub")));
  ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);
  // Real speech as a microphone seldom delivers it: stereo at 44.1 kHz.
  ASSERT_EQ(
      QProcess::execute("sox", {librivox + "0930.wav", "-r", "44100", "-c", "2", at("a.wav")}), 0);
  QFile said(at("a.said"));
  ASSERT_TRUE(said.open(QIODevice::WriteOnly) &&
              said.write("he might even have been made amiable himself\n"));
  said.close();
  ASSERT_TRUE(QFile::copy(librivox + "0880.wav", at(forged + ".wav")));
  ASSERT_TRUE(QFile::link(at("fifo"), at(forged + ".said")));
  ASSERT_TRUE(QFile::link("/dev/zero", at(forged + ".want")));
  ASSERT_EQ(sox("c-empty.wav", "16000", {"trim", "0", "0"}), 0);
  ASSERT_EQ(sox("d-lies.wav", "1", {"synth", "700", "sine", "0"}),
            0);  // 1 Hz: 1.4 KB of 11 minutes
  ASSERT_TRUE(QFile::copy(at("a.said"), at("e-text.wav")));
  ASSERT_TRUE(QFile::link(at("fifo"), at("f-fifo.wav")));
  const QByteArray notUtf8 = QFile::encodeName(at("g")).append("\xff.wav");
  ::close(::open(notUtf8.constData(), O_CREAT | O_WRONLY, 0600));
  ASSERT_TRUE(QFile::copy(at("a.wav"), at("UPPER.WAV")));
  ASSERT_TRUE(QFile::copy(at("a.wav"), at("sub/inner.wav")));

  QStringList lines;
  const ReplayOptions options{std::make_shared<speech::SphinxTranscriber>(),
                              LocalModelCleaner::create({.enabled = false}), false, 8,
                              [&lines](const QString& line) { lines << line; }};
  const ReplayOutcome outcome = test::run(replay(dir.filePath("clips"), options));
  ::unlink(notUtf8.constData());  // a name QTemporaryDir could not spell
  EXPECT_EQ(outcome, (ReplayOutcome{3, std::nullopt}));

  const QString shown = QString(forged).replace("\n", "\\u000a");
  const QStringList expected = {
      "cleanup: Zirad Ediviv off",
      "a.wav              release->text",
      shown + ".wav release->text",
      "c-empty.wav: discarded(tooShort)",
      "d-lies.wav: skipped, 700 s long (clips are played up to 600 s)",
      "e-text.wav: skipped: Can't open e-text.wav: ",
      "f-fifo.wav: skipped: Can't open f-fifo.wav: not a regular file",
      "g\uFFFD.wav: skipped, the name is not valid UTF-8",
      "median release->text ",
      "wrote " + QFileInfo(at("replay-rules.json")).absoluteFilePath(),
  };
  QStringList heads;
  for (const QString& line : lines)
    if (!line.startsWith(' ')) heads << line;
  ASSERT_EQ(heads.size(), expected.size()) << lines.join('\n').toStdString();
  for (qsizetype i = 0; i < heads.size(); ++i)
    EXPECT_TRUE(heads[i].startsWith(expected[i]) && !heads[i].contains('\n'))
        << heads[i].toStdString();
  // Unreadable references are named on their clip's line, not scored as empty texts.
  EXPECT_TRUE(heads[2].endsWith("WER raw n/a final n/a  (" + shown + ".said: not a regular file; " +
                                shown + ".want: not a regular file)"))
      << heads[2].toStdString();

  QFile out(at("replay-rules.json"));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.permissions(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
  const auto results = nlohmann::json::parse(out.readAll().toStdString());
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0]["file"], "a.wav");
  EXPECT_LT(results[0]["wer_raw"].get<double>(), 0.5) << results[0].dump();
  EXPECT_EQ(results[1]["file"], (forged + ".wav").toStdString());
  EXPECT_TRUE(results[1]["wer_raw"].is_null() && results[1]["wer_final_vs_want"].is_null());
}

}  // namespace
}  // namespace talvo
