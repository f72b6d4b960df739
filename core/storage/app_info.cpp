#include "storage/app_info.h"

#ifndef TALVO_VERSION
#define TALVO_VERSION ""
#endif
#ifndef TALVO_BUILD_ID
#define TALVO_BUILD_ID ""
#endif

namespace talvo::AppInfo {

QString version() {
  const QString value = QStringLiteral(TALVO_VERSION);
  return value.isEmpty() ? QStringLiteral("dev") : value;
}

QString build() { return QStringLiteral(TALVO_BUILD_ID); }

}  // namespace talvo::AppInfo
