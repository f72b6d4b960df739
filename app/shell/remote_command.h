#pragma once

#include <QString>

#include <array>
#include <optional>

namespace talvo {

// What another process can ask of the running program over the session bus: desktops where
// the program cannot read the keyboard bind these to a shortcut of their own.
enum class RemoteCommand { press, release, toggle, cancel };

inline constexpr std::array remoteCommands{RemoteCommand::press, RemoteCommand::release,
                                           RemoteCommand::toggle, RemoteCommand::cancel};

// The D-Bus method's name: "Press", "Release", "Toggle", "Cancel".
inline QString methodName(RemoteCommand command) {
  switch (command) {
    case RemoteCommand::press: return QStringLiteral("Press");
    case RemoteCommand::release: return QStringLiteral("Release");
    case RemoteCommand::toggle: return QStringLiteral("Toggle");
    case RemoteCommand::cancel: return QStringLiteral("Cancel");
  }
  return {};
}

// The log's and the command line's form: "press", "release", "toggle", "cancel".
inline QString toString(RemoteCommand command) { return methodName(command).toLower(); }

inline std::optional<RemoteCommand> remoteCommandFrom(const QString& text) {
  for (RemoteCommand command : remoteCommands)
    if (toString(command) == text) return command;
  return std::nullopt;
}

}  // namespace talvo
