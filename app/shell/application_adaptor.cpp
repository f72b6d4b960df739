#include "shell/application_adaptor.h"

namespace talvo {

ApplicationAdaptor::ApplicationAdaptor(QObject* parent, std::function<void()> activate)
    : QDBusAbstractAdaptor(parent), activate_(std::move(activate)) {}

void ApplicationAdaptor::Activate(const QVariantMap&) { activate_(); }

// Talvo opens no documents: a launcher that passes some still means "show the program".
void ApplicationAdaptor::Open(const QStringList&, const QVariantMap&) { activate_(); }

void ApplicationAdaptor::ActivateAction(const QString&, const QVariantList&, const QVariantMap&) {}

}  // namespace talvo
