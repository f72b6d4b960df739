#include "portal/portal.h"

namespace talvo::portal {

QString requestPath(const QDBusConnection& bus, const QString& token) {
  QString sender = bus.baseService().mid(1);
  sender.replace(u'.', u'_');
  return path + QStringLiteral("/request/") + sender + u'/' + token;
}

}  // namespace talvo::portal
