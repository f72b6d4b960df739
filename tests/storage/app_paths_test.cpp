#include "storage/app_paths.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <vector>

namespace talvo {
namespace {

// Its own program: the folder is computed once per process, on first use.
TEST(AppPaths, ComputedOnceFromTheDataHomeAndPrivate) {
  QTemporaryDir dir;
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
  std::vector<QString> seen(4);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = AppPaths::support(); });
  for (auto& thread : threads) thread.join();
  for (const QString& folder : seen) EXPECT_EQ(folder, dir.filePath("data/Talvo"));
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(seen[0]).constData(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  AppPaths::setSupport(dir.filePath("elsewhere"));
  EXPECT_EQ(AppPaths::support(), dir.filePath("elsewhere"));
}

}  // namespace
}  // namespace talvo
