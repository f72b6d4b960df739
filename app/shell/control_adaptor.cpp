#include "shell/control_adaptor.h"

namespace talvo {

ControlAdaptor::ControlAdaptor(QObject* parent, std::function<void(RemoteCommand)> command)
    : QDBusAbstractAdaptor(parent), command_(std::move(command)) {}

void ControlAdaptor::Press() { command_(RemoteCommand::press); }
void ControlAdaptor::Release() { command_(RemoteCommand::release); }
void ControlAdaptor::Toggle() { command_(RemoteCommand::toggle); }
void ControlAdaptor::Cancel() { command_(RemoteCommand::cancel); }

}  // namespace talvo
