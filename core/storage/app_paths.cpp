#include "storage/app_paths.h"

#include "pipeline/errors.h"
#include "storage/file_io.h"
#include "storage/log.h"

#include <QStandardPaths>

#include <mutex>
#include <optional>

namespace talvo::AppPaths {
namespace {

std::mutex lock;
std::optional<QString> folder;

}  // namespace

QString support() {
  std::optional<QString> failure;
  QString result;
  {
    std::lock_guard guard(lock);
    if (!folder) {
      // GenericDataLocation is $XDG_DATA_HOME, by default ~/.local/share.
      folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/Talvo");
      try {
        file_io::makeFolder(*folder);
      } catch (const Error& error) {
        failure = error.message();
      }
    }
    result = *folder;
  }
  // Logged outside the lock: the log asks for this folder too.
  if (failure)
    Log::info(
        QStringLiteral("storage: %1; history, dictionary and log are not kept").arg(*failure));
  return result;
}

void setSupport(const QString& replacement) {
  std::lock_guard guard(lock);
  folder = replacement;
}

}  // namespace talvo::AppPaths
