#pragma once

#include "insertion/paste_keys.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace talvo {

// Keys typed through the desktop's RemoteDesktop portal (KDE Plasma and GNOME on Wayland),
// where a program has no virtual keyboard of its own. The desktop asks the user to allow
// it the first time; the restore token it hands back spares them the question on later
// starts. Keep one for the program's life: each new session may ask again.
class PortalKeyboard : public QObject {
  Q_OBJECT

public:
  // Starts the session at once. `restoreToken` is the one a previous session reported,
  // or empty.
  PortalKeyboard(QDBusConnection bus, QString restoreToken);
  PortalKeyboard(const PortalKeyboard&) = delete;
  PortalKeyboard& operator=(const PortalKeyboard&) = delete;
  ~PortalKeyboard() override;

  // The session started with a keyboard granted, and the desktop has not ended it.
  bool ready() const { return ready_; }
  // The portal is missing, the user said no, or the desktop ended the session: one log
  // line said why, and this keyboard stays off.
  bool refused() const { return refused_; }

  // Sends the keystroke's presses and releases, in order, without waiting for the desktop
  // to take them; false when not ready.
  bool press(PasteKeys keys);

  // The token to keep for the next start; the one given to the constructor is spent.
  std::function<void(const QString&)> onRestoreToken;
  std::function<void()> onReady;

private slots:
  void onSession(uint response, const QVariantMap& results);
  void onSelected(uint response, const QVariantMap& results);
  void onStarted(uint response, const QVariantMap& results);
  void onClosed();

private:
  void call(const QString& method, const QString& step, QVariantList arguments, const char* answer);
  void sendKey(int keysym, bool down);
  void watch(const QDBusMessage& message, const QString& failure);
  void fail(const QString& why);
  void closeSession();

  QDBusConnection bus_;
  QString restoreToken_;
  QString tokenPrefix_;
  QString pendingRequest_;
  QString session_;
  bool ready_ = false;
  bool refused_ = false;
};

}  // namespace talvo
