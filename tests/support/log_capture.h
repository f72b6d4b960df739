#pragma once

#include "storage/app_paths.h"
#include "storage/log.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace talvo::test {

// Points the log at a folder of its own and reads back the messages written since.
class LogCapture {
public:
  LogCapture() { AppPaths::setSupport(dir_.path()); }
  QString filePath(const QString& name) const { return dir_.filePath(name); }

  QStringList messages() const {
    Log::flush();
    QFile file(dir_.filePath("talvo.log"));
    QStringList result;
    if (!file.open(QIODevice::ReadOnly)) return result;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
      const qsizetype at = line.indexOf(QStringLiteral("  "));
      result << (at < 0 ? line : line.mid(at + 2));
    }
    return result;
  }

private:
  QTemporaryDir dir_;
};

}  // namespace talvo::test
