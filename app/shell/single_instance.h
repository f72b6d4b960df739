#pragma once

#include "shell/remote_command.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QObject>

#include <functional>

namespace talvo {

inline constexpr const char* applicationService = "org.talvo.Talvo";
inline constexpr const char* applicationPath = "/org/talvo/Talvo";

// One running program per session: it owns the application's bus name and answers
// org.freedesktop.Application there, so a second start, or the desktop's launcher, can
// bring it to the front, and org.talvo.Talvo, so a shortcut can drive the dictation.
class SingleInstance final : public QObject {
public:
  enum class Claim {
    primary,    // this process owns the name
    secondary,  // another process does: ask it to show itself, then leave
    alone,      // no session bus: run without the check
  };

  explicit SingleInstance(QDBusConnection bus);
  Q_DISABLE_COPY_MOVE(SingleInstance)
  ~SingleInstance() override;

  [[nodiscard]] Claim claim();

  // Called for Activate and Open: show the program.
  std::function<void()> onActivate;
  // Called for Press, Release, Toggle and Cancel.
  std::function<void(RemoteCommand)> onCommand;

private:
  QDBusConnection bus_;
  bool owns_ = false;
};

// Asks the process that owns the name to show itself.
QDBusPendingCall activateRunning(const QDBusConnection& bus);

// Asks the process that owns the name to do this with its dictation.
QDBusPendingCall commandRunning(const QDBusConnection& bus, RemoteCommand command);

}  // namespace talvo
