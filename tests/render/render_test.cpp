// The render modes, run as the program itself.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
};

// The user's settings and data folders, pointed somewhere the test can watch.
struct UserFolders {
  QTemporaryDir home;
  QString config() const { return home.filePath(QStringLiteral("config")); }
  QString data() const { return home.filePath(QStringLiteral("data")); }
  bool untouched() const {
    for (const QString& dir : {config(), data()})
      if (!QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) return false;
    return true;
  }
};

Outcome render(const QString& option, const QString& directory,
               const UserFolders& user = UserFolders()) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));  // must work with no display at all
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), user.config());
  env.insert(QStringLiteral("XDG_DATA_HOME"), user.data());
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(TALVO_PROGRAM), {option, directory});
  if (!program.waitForFinished(120000)) return {};
  return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
          QString::fromUtf8(program.readAllStandardOutput())};
}

using Sizes = std::map<QString, QSize>;

Sizes iconFiles() {
  Sizes files;
  for (int s : {16, 32, 128, 256, 512}) {
    files[QStringLiteral("icon_%1x%1.png").arg(s)] = QSize(s, s);
    files[QStringLiteral("icon_%1x%1@2x.png").arg(s)] = QSize(2 * s, 2 * s);
  }
  return files;
}

Sizes uiFiles() {
  const std::pair<const char*, QSize> pictures[] = {
      {"pill-listening-empty", {280, 110}}, {"pill-listening-words", {510, 110}},
      {"pill-locked", {340, 110}},          {"pill-cant-hear", {370, 110}},
      {"pill-working", {510, 110}},         {"pill-done", {560, 110}},
      {"pill-message", {370, 110}},         {"fix-card", {420, 230}},
      {"setup-1-welcome", {520, 440}},      {"setup-2-mic-ask", {520, 440}},
      {"setup-2-mic-ok", {520, 440}},       {"setup-3-pasting", {520, 440}},
      {"setup-4-fn", {520, 440}},           {"setup-5-try", {520, 440}},
      {"setup-6-done", {520, 440}},         {"main-home", {760, 640}},
      {"main-history", {760, 640}},         {"main-dictionary", {760, 640}},
      {"main-settings", {760, 860}},        {"main-history-empty", {760, 640}},
      {"setup-5-try-command", {520, 440}},  {"main-settings-command", {760, 860}}};
  Sizes files;
  for (const auto& [name, size] : pictures)
    for (const char* look : {"-light.png", "-dark.png"})
      files[QString::fromLatin1(name) + QString::fromLatin1(look)] = size * 2;
  return files;
}

struct ModeCase {
  const char* option;
  Sizes (*files)();
  const char* line;
};

class RenderMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(RenderMode, WritesEveryFileAtItsSizeAndOverwritesOnASecondRun) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("nested/pictures"));
  const Sizes files = GetParam().files();
  ASSERT_TRUE(QDir().mkpath(out));
  QFile stale(QDir(out).filePath(files.begin()->first));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write("not a picture");
  stale.close();

  const UserFolders user;
  for (int run = 0; run < 2; ++run) {
    const Outcome result = render(QString::fromLatin1(GetParam().option), out, user);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.contains(QString::fromLatin1(GetParam().line)))
        << result.out.toStdString();
  }
  EXPECT_TRUE(user.untouched());  // no settings, history or dictionary written
  EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), qsizetype(files.size()));
  for (const auto& [name, size] : files) {
    const QImage image(QDir(out).filePath(name));
    EXPECT_EQ(image.size(), size) << name.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Program, RenderMode,
                         ::testing::Values(ModeCase{"--render-icon", iconFiles,
                                                    "icon set written to"},
                                           ModeCase{"--render-ui", uiFiles, "rendered fix-card"}),
                         [](const auto& info) { return info.index == 0 ? "icon" : "ui"; });

TEST(RenderMode, AnUnwritableFolderStillExitsZero) {
  QTemporaryDir dir;
  const QString blocker = dir.filePath(QStringLiteral("file"));
  QFile file(blocker);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  for (const char* option : {"--render-icon", "--render-ui"})
    EXPECT_EQ(render(QString::fromLatin1(option), blocker + QStringLiteral("/out")).exitCode, 0);
}

TEST(RenderMode, LightAndDarkDiffer) {
  QTemporaryDir dir;
  ASSERT_EQ(render(QStringLiteral("--render-ui"), dir.path()).exitCode, 0);
  for (const char* name : {"pill-done", "fix-card", "setup-1-welcome", "main-home"}) {
    const QImage light(dir.filePath(QString::fromLatin1(name) + QStringLiteral("-light.png")));
    const QImage dark(dir.filePath(QString::fromLatin1(name) + QStringLiteral("-dark.png")));
    ASSERT_FALSE(light.isNull());
    EXPECT_NE(light, dark) << name;
    // The window colour fills the corner: light is lighter.
    EXPECT_GT(qGray(light.pixel(1, 1)), qGray(dark.pixel(1, 1)) + 100) << name;
  }
  EXPECT_NE(QImage(dir.filePath(QStringLiteral("main-history-light.png"))),
            QImage(dir.filePath(QStringLiteral("main-history-empty-light.png"))));
}

}  // namespace
