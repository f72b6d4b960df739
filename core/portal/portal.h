#pragma once

#include <QDBusConnection>
#include <QString>

// What every client of the desktop's portals shares: their bus name and object, and the
// request objects their answers come on.
namespace talvo::portal {

inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// Where the portal answers a call that carried this token: a path made from the caller's
// unique name, so the answer can be listened for before the call is made.
QString requestPath(const QDBusConnection& bus, const QString& token);

}  // namespace talvo::portal
