// The talvo program as a user runs it: its lines and its exit status.
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

// A tenth of a second of tone: played, then discarded as too short to be a dictation.
void shortClip(const QString&, const QString& clips) {
  ASSERT_EQ(QProcess::execute("sox", {"-n", "-r", "16000", "-b", "16", "-c", "1",
                                      clips + "/tone.wav", "synth", "0.1", "sine", "440"}),
            0);
}

struct ProgramCase {
  const char* name;
  QStringList arguments;  // %C stands for the clip folder, %H for the home folder
  std::function<void(const QString& home, const QString& clips)> setup;
  int status;
  QStringList lines;  // standard output, with %C as above
  const char* error;  // in standard error
};

const ProgramCase cases[] = {
    {"one_clip",
     {"--replay", "%C", "--no-ai"},
     shortClip,
     0,
     {"cleanup: Zirad Ediviv off", "tone.wav: discarded(tooShort)", "wrote %C/replay-rules.json"},
     ""},
    {"empty_folder",
     {"--replay", "%C", "--no-ai"},
     {},
     1,
     {"cleanup: Zirad Ediviv off", "wrote %C/replay-rules.json"},
     "talvo: no clip in %C could be played"},
    {"missing_folder",
     {"--replay", "%H/none", "--no-ai"},
     {},
     1,
     {},
     "talvo: %H/none: No such file"},
    {"results_not_writable",
     {"--replay", "%C", "--no-ai"},
     [](const QString& home, const QString& clips) {
       shortClip(home, clips);
       QDir().mkpath(clips + "/replay-rules.json");
     },
     1,
     {"cleanup: Zirad Ediviv off", "tone.wav: discarded(tooShort)"},
     "could not write %C/replay-rules.json"},
    // Nothing listens on this loopback port, so the model reads as switched off.
    {"model_allowed",
     {"--replay", "%C"},
     [](const QString& home, const QString&) {
       QSettings(home + "/config/Talvo/Talvo.ini", QSettings::IniFormat)
           .setValue("aiEndpoint", "http://127.0.0.1:9");
     },
     1,
     {"cleanup: Start a local language model to use Zirad Ediviv.", "wrote %C/replay.json"},
     ""},
};

class TalvoProgram : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(TalvoProgram, PrintsItsLinesAndExitsWithItsStatus) {
  const ProgramCase& c = GetParam();
  QTemporaryDir home;
  const QString clips = home.filePath("clips");
  QDir().mkpath(clips);
  if (c.setup) c.setup(home.path(), clips);
  auto fill = [&](QStringList texts) {
    return texts.replaceInStrings("%C", clips).replaceInStrings("%H", home.path());
  };

  QProcess talvo;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home.path());
  env.insert("XDG_CONFIG_HOME", home.filePath("config"));
  env.insert("XDG_DATA_HOME", home.filePath("data"));
  talvo.setProcessEnvironment(env);
  talvo.start(TALVO_PROGRAM, fill(c.arguments));
  ASSERT_TRUE(talvo.waitForFinished(60000));
  EXPECT_EQ(talvo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(talvo.exitCode(), c.status);
  EXPECT_EQ(QString::fromUtf8(talvo.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            fill(c.lines));
  const QString errors = QString::fromUtf8(talvo.readAllStandardError());
  EXPECT_TRUE(errors.contains(fill({c.error})[0])) << errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, TalvoProgram, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Help, version and a mistyped option answer at once, on the stream a script expects.
TEST(TalvoProgram, InformsAndRejectsUnknownOptions) {
  const struct {
    QStringList arguments;
    int status = 0;
    const char* output = "";  // at the start of standard output; nothing else may be printed
    const char* error = "";   // at the start of standard error
  } informing[] = {
      {{"--help"}, 0, "Usage: talvo", ""},
      {{"--replay", "clips", "--version"}, 0, "talvo " TALVO_PROJECT_VERSION " (", ""},
      {{"--replay", "clips", "--no-al"}, 2, "", "talvo: unknown option --no-al\n"},
  };
  // A null string starts with nothing, not even "", so an expected nothing is checked as empty.
  auto begins = [](const QString& text, const char* start) {
    return *start ? text.startsWith(start) : text.isEmpty();
  };
  for (const auto& c : informing) {
    QProcess talvo;
    talvo.start(TALVO_PROGRAM, c.arguments);
    ASSERT_TRUE(talvo.waitForFinished(60000));
    const QString output = QString::fromUtf8(talvo.readAllStandardOutput());
    const QString errors = QString::fromUtf8(talvo.readAllStandardError());
    EXPECT_TRUE(talvo.exitStatus() == QProcess::NormalExit && talvo.exitCode() == c.status &&
                begins(output, c.output) && begins(errors, c.error))
        << c.arguments.join(' ').toStdString() << ": " << talvo.exitCode() << "\n"
        << output.toStdString() << errors.toStdString();
  }
}

}  // namespace
