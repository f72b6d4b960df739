// Placeholder until the storage subsystem lands: keeps callers linking.
#include "storage/app_paths.h"
#include "storage/log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace talvo {
namespace {
std::atomic<bool> echoOn{false};
std::mutex pathLock;
QString supportFolder;
}  // namespace

void Log::info(const QString& message) {
  const QString line = QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + "  " + message + "\n";
  const QByteArray bytes = line.toUtf8();
  if (echoOn) std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
  QFile file(QDir(AppPaths::support()).filePath("talvo.log"));
  if (file.open(QIODevice::Append)) file.write(bytes);
}
void Log::setEcho(bool on) { echoOn = on; }
bool Log::echo() { return echoOn; }
void Log::flush() {}

QString AppPaths::support() {
  std::lock_guard guard(pathLock);
  if (supportFolder.isEmpty()) {
    supportFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Talvo";
    QDir().mkpath(supportFolder);
  }
  return supportFolder;
}
void AppPaths::setSupport(const QString& folder) {
  std::lock_guard guard(pathLock);
  supportFolder = folder;
}

}  // namespace talvo
