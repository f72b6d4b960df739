#include "storage/app_paths.h"

#include "storage/file_io.h"

#include <QStandardPaths>

#include <mutex>
#include <optional>

namespace talvo::AppPaths {
namespace {

std::mutex lock;
std::optional<QString> folder;

QString computeSupport() {
  // GenericDataLocation is $XDG_DATA_HOME, by default ~/.local/share.
  const QString path =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Talvo");
  // A failure shows up later as quietly failing writes in the stores.
  (void)file_io::makeFolder(path);
  return path;
}

}  // namespace

QString support() {
  std::lock_guard guard(lock);
  if (!folder) folder = computeSupport();
  return *folder;
}

void setSupport(const QString& replacement) {
  std::lock_guard guard(lock);
  folder = replacement;
}

}  // namespace talvo::AppPaths
