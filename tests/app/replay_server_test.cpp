// `talvo --replay` with a speech server set, against a loopback server that answers the
// reference text: the server's path from the settings file to the report, end to end.
#include "support/loopback_http.h"
#include "support/task_runner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

namespace {

const QString clip = QStringLiteral(
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav");
// The recogniser alone gets about a third of these words wrong.
const QByteArray said = "he was not an ill disposed young man";

TEST(ReplayWithSpeechServer, ReportsTheServersTextAndNamesIt) {
  QTemporaryDir home;
  const QString clips = home.filePath("clips");
  ASSERT_TRUE(QDir().mkpath(clips));
  ASSERT_TRUE(QFile::copy(clip, clips + "/a.wav"));
  QFile reference(clips + "/a.said");
  ASSERT_TRUE(reference.open(QIODevice::WriteOnly) && reference.write(said + "\n"));
  reference.close();

  talvo::test::LoopbackHttp server;
  server.script("/", {.body = "<html>whisper</html>"});
  server.script("/inference", {.body = R"({"text":" He was not an ill disposed young man.\n"})"});
  QSettings(home.filePath("config/Talvo/Talvo.ini"), QSettings::IniFormat)
      .setValue("speechEndpoint", server.url("/inference").toString());

  QProcess talvo;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home.path());
  env.insert("XDG_CONFIG_HOME", home.filePath("config"));
  env.insert("XDG_DATA_HOME", home.filePath("data"));
  talvo.setProcessEnvironment(env);
  talvo.start(TALVO_PROGRAM, {"--replay", clips, "--no-ai"});
  // The loopback server answers from this thread's event loop while the program runs.
  ASSERT_TRUE(talvo::test::spinUntil([&] { return talvo.state() == QProcess::NotRunning; }, 120));
  EXPECT_EQ(talvo.exitCode(), 0);

  const QStringList lines = QString::fromUtf8(talvo.readAllStandardOutput()).split('\n');
  EXPECT_TRUE(lines.contains("speech: Speech server ready")) << lines.join('\n').toStdString();
  const QStringList clipLine = lines.filter(QRegularExpression("^a\\.wav "));
  ASSERT_EQ(clipLine.size(), 1) << lines.join('\n').toStdString();
  EXPECT_TRUE(clipLine[0].contains("rules, server)  WER raw 0.00")) << clipLine[0].toStdString();

  QFile results(clips + "/replay-rules.json");
  ASSERT_TRUE(results.open(QIODevice::ReadOnly));
  const auto json = nlohmann::json::parse(results.readAll().toStdString());
  EXPECT_EQ(json[0]["engine"], "server");
  EXPECT_EQ(json[0]["wer_raw"], 0.0);
  // The replay dictionary's term went along as the prompt.
  ASSERT_EQ(server.count("/inference"), 1);
  EXPECT_TRUE(server.last("/inference")->body.contains("Vorlith"));
}

}  // namespace
