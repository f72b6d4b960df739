#include "storage/app_paths.h"
#include "storage/log.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace talvo {
namespace {

// Its own program: the folder is computed once per process, on first use.
TEST(AppPaths, ComputedOnceFromTheDataHomeAndPrivate) {
  QTemporaryDir dir;
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
  std::vector<QString> seen(4);
  std::vector<std::thread> threads;
  threads.reserve(seen.size());
  for (QString& slot : seen) threads.emplace_back([&slot] { slot = AppPaths::support(); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(seen, std::vector(4, dir.filePath("data/Talvo")));
  EXPECT_EQ(QFile::permissions(seen[0]), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
  AppPaths::setSupport(dir.filePath("elsewhere"));
  EXPECT_EQ(AppPaths::support(), dir.filePath("elsewhere"));
}

// A fresh process, whose data home lies under a plain file.
TEST(AppPathsDeathTest, AFolderThatCannotBeMadeIsLogged) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  QTemporaryDir dir;
  ASSERT_TRUE(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("file/data")));
  Log::setEcho(true);
  EXPECT_EXIT((AppPaths::support(), std::exit(0)), testing::ExitedWithCode(0),
              "Z  storage: could not create .*/file/data; history, dictionary and log");
}

}  // namespace
}  // namespace talvo
