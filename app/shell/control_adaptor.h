#pragma once

#include "shell/remote_command.h"

#include <QDBusAbstractAdaptor>

#include <functional>

namespace talvo {

// The program's own interface on its object: the dictation key, driven from outside.
class ControlAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.talvo.Talvo")

public:
  ControlAdaptor(QObject* parent, std::function<void(RemoteCommand)> command);

public slots:
  void Press();
  void Release();
  void Toggle();
  void Cancel();

private:
  std::function<void(RemoteCommand)> command_;
};

}  // namespace talvo
