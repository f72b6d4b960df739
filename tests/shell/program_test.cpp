// The talvo program started as a user would, without a desktop to run on.
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

TEST(Program, WithoutAnXDisplayItSaysWhyAndFails) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.remove("WAYLAND_DISPLAY");
  QProcess talvo;
  talvo.setProcessEnvironment(environment);
  talvo.start(TALVO_PROGRAM, {});
  ASSERT_TRUE(talvo.waitForFinished(30000));
  EXPECT_EQ(talvo.exitStatus(), QProcess::NormalExit) << "no crash";
  EXPECT_NE(talvo.exitCode(), 0);
  EXPECT_EQ(talvo.readAllStandardError(), "talvo: no X display; set DISPLAY or use --replay DIR.\n");
  EXPECT_TRUE(talvo.readAllStandardOutput().isEmpty());
}

}  // namespace
