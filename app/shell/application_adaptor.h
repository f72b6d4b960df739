#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

namespace talvo {

// org.freedesktop.Application on the program's object. Activate and Open show the
// program; it has no named actions, so ActivateAction does nothing.
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
  ApplicationAdaptor(QObject* parent, std::function<void()> activate);

public slots:
  void Activate(const QVariantMap& platformData);
  void Open(const QStringList& uris, const QVariantMap& platformData);
  void ActivateAction(const QString& name, const QVariantList& parameter,
                      const QVariantMap& platformData);

private:
  std::function<void()> activate_;
};

}  // namespace talvo
