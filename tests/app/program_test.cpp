// The talvo program as a user runs it: every non-application mode ends with status 0.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
  int status = -1;
  QStringList lines;
};

Outcome runTalvo(const QStringList& arguments, const QString& home) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_CONFIG_HOME", home + "/config");
  env.insert("XDG_DATA_HOME", home + "/data");
  process.setProcessEnvironment(env);
  process.start(TALVO_PROGRAM, arguments);
  Outcome run;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  return run;
}

TEST(TalvoProgram, ReplayOfAnEmptyDirectoryEnds) {
  QTemporaryDir home;
  QTemporaryDir clips;
  const Outcome run = runTalvo({"--replay", clips.path(), "--no-ai"}, home.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (QStringList{"cleanup: Zirad Ediviv off",
                                    "wrote " + clips.filePath("replay-rules.json")}));
}

TEST(TalvoProgram, ReplayWithTheModelAllowedNamesItsState) {
  QTemporaryDir home;
  QTemporaryDir clips;
  // Nothing listens on this loopback port, so the model reads as switched off.
  QDir(home.path()).mkpath("config/Talvo");
  QFile settings(home.filePath("config/Talvo/talvo.conf"));
  ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
  settings.write("[General]\naiEndpoint=http://127.0.0.1:9\n");
  settings.close();
  const Outcome run = runTalvo({"--replay", clips.path()}, home.path());
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 2);
  EXPECT_EQ(run.lines[0], "cleanup: Start a local language model to use Zirad Ediviv.");
  EXPECT_EQ(run.lines[1], "wrote " + clips.filePath("replay.json"));
}

TEST(TalvoProgram, ModesWithoutADesktopSaySoAndExitCleanly) {
  QTemporaryDir home;
  // The render modes have tests of their own (tests/render).
  for (const QStringList& arguments : {QStringList{"--replay"}}) {
    const Outcome run = runTalvo(arguments, home.path());
    EXPECT_EQ(run.status, 0) << arguments.join(' ').toStdString();
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_TRUE(run.lines[0].contains("no desktop application"));
  }
}

}  // namespace
