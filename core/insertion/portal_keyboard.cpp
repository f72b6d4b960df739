#include "insertion/portal_keyboard.h"

#include "portal/portal.h"
#include "storage/log.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <atomic>
#include <utility>
#include <vector>

namespace talvo {
namespace {

const QString remoteDesktopInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

constexpr uint keyboardDevice = 1;
// The desktop keeps the grant until the user takes it back, across restarts.
constexpr uint persistUntilRevoked = 2;

constexpr uint keyPressed = 1;
constexpr uint keyReleased = 0;

constexpr int controlKeysym = 0xffe3;
constexpr int shiftKeysym = 0xffe1;
constexpr int insertKeysym = 0xff63;
constexpr int vKeysym = 0x76;

// The modifiers held, in pressing order, around one key.
struct Chord {
  std::vector<int> held;
  int key;
};

Chord chordOf(PasteKeys keys) {
  switch (keys) {
    case PasteKeys::ctrlV: return {{controlKeysym}, vKeysym};
    case PasteKeys::ctrlShiftV: return {{controlKeysym, shiftKeysym}, vKeysym};
    case PasteKeys::shiftInsert: return {{shiftKeysym}, insertKeysym};
  }
  return {{controlKeysym}, vKeysym};
}

// Tokens of their own for each keyboard, so that two on one connection never hear each
// other's answers.
QString nextTokenPrefix() {
  static std::atomic<int> made = 0;
  return QStringLiteral("talvo_keys%1").arg(made++);
}

QString sessionPath(const QVariantMap& results) {
  const QVariant handle = results.value(QStringLiteral("session_handle"));
  return handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                              : handle.toString();
}

QString refusal(const QString& step, uint response) {
  return response == 1
             ? QStringLiteral("the user did not allow ") + step
             : QStringLiteral("the desktop refused %1 (response %2)").arg(step).arg(response);
}

}  // namespace

PortalKeyboard::PortalKeyboard(QDBusConnection bus, QString restoreToken)
    : bus_(std::move(bus)),
      restoreToken_(std::move(restoreToken)),
      tokenPrefix_(nextTokenPrefix()) {
  if (!bus_.isConnected()) {
    fail(QStringLiteral("no session bus, so no remote desktop portal"));
    return;
  }
  call(QStringLiteral("CreateSession"), QStringLiteral("session"),
       {QVariantMap{{QStringLiteral("session_handle_token"), tokenPrefix_}}},
       SLOT(onSession(uint, QVariantMap)));
}

PortalKeyboard::~PortalKeyboard() {
  if (!ready_ && !refused_ && !pendingRequest_.isEmpty())
    bus_.send(QDBusMessage::createMethodCall(portal::service, pendingRequest_,
                                             portal::requestInterface, QStringLiteral("Close")));
  closeSession();
}

bool PortalKeyboard::press(PasteKeys keys) {
  if (!ready_) return false;
  const Chord chord = chordOf(keys);
  for (const int held : chord.held) sendKey(held, true);
  sendKey(chord.key, true);
  sendKey(chord.key, false);
  for (auto held = std::rbegin(chord.held); held != std::rend(chord.held); ++held)
    sendKey(*held, false);
  return true;
}

void PortalKeyboard::onSession(uint response, const QVariantMap& results) {
  if (response != 0) return fail(refusal(QStringLiteral("a remote desktop session"), response));
  // A handle that is no object path cannot be listened to, nor closed.
  const QString session = sessionPath(results);
  if (session.isEmpty() || !bus_.connect(portal::service, session, portal::sessionInterface,
                                         QStringLiteral("Closed"), this, SLOT(onClosed())))
    return fail(QStringLiteral("the desktop opened no usable remote desktop session"));
  session_ = session;
  QVariantMap options{{QStringLiteral("types"), keyboardDevice},
                      {QStringLiteral("persist_mode"), persistUntilRevoked}};
  if (!restoreToken_.isEmpty()) options.insert(QStringLiteral("restore_token"), restoreToken_);
  call(QStringLiteral("SelectDevices"), QStringLiteral("devices"),
       {QVariant::fromValue(QDBusObjectPath(session_)), options},
       SLOT(onSelected(uint, QVariantMap)));
}

void PortalKeyboard::onSelected(uint response, const QVariantMap&) {
  if (response != 0) return fail(refusal(QStringLiteral("a virtual keyboard"), response));
  call(QStringLiteral("Start"), QStringLiteral("start"),
       {QVariant::fromValue(QDBusObjectPath(session_)), QString(), QVariantMap()},
       SLOT(onStarted(uint, QVariantMap)));
}

void PortalKeyboard::onStarted(uint response, const QVariantMap& results) {
  if (response != 0) return fail(refusal(QStringLiteral("typing keys"), response));
  if ((results.value(QStringLiteral("devices")).toUInt() & keyboardDevice) == 0)
    return fail(QStringLiteral("the desktop granted no keyboard"));
  const QString token = results.value(QStringLiteral("restore_token")).toString();
  if (!token.isEmpty() && onRestoreToken) onRestoreToken(token);
  ready_ = true;
  Log::info(QStringLiteral("portal keyboard: the desktop takes the paste keys"));
  if (onReady) onReady();
}

void PortalKeyboard::onClosed() {
  session_.clear();
  fail(QStringLiteral("the desktop ended the remote desktop session"));
}

// A portal call whose answer comes as a Response signal on its request's own path. The
// last argument is the call's options, to which the request's token is added.
void PortalKeyboard::call(const QString& method, const QString& step, QVariantList arguments,
                          const char* answer) {
  const QString token = tokenPrefix_ + u'_' + step;
  pendingRequest_ = portal::requestPath(bus_, token);
  bus_.connect(portal::service, pendingRequest_, portal::requestInterface,
               QStringLiteral("Response"), this, answer);
  QVariantMap options = arguments.takeLast().toMap();
  options.insert(QStringLiteral("handle_token"), token);
  arguments << options;
  QDBusMessage message =
      QDBusMessage::createMethodCall(portal::service, portal::path, remoteDesktopInterface, method);
  message.setArguments(arguments);
  watch(message, QStringLiteral("no remote desktop portal: "));
}

void PortalKeyboard::sendKey(int keysym, bool down) {
  QDBusMessage message =
      QDBusMessage::createMethodCall(portal::service, portal::path, remoteDesktopInterface,
                                     QStringLiteral("NotifyKeyboardKeysym"));
  message << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap() << keysym
          << (down ? keyPressed : keyReleased);
  watch(message, QStringLiteral("the desktop did not take a key: "));
}

// Sends without waiting; an error answer turns the keyboard off.
void PortalKeyboard::watch(const QDBusMessage& message, const QString& failure) {
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, failure] {
    watcher->deleteLater();
    if (watcher->isError()) fail(failure + watcher->error().message());
  });
}

void PortalKeyboard::fail(const QString& why) {
  ready_ = false;
  if (refused_) return;
  refused_ = true;
  Log::info(QStringLiteral("portal keyboard off: ") + why);
  closeSession();
}

void PortalKeyboard::closeSession() {
  if (session_.isEmpty()) return;
  bus_.send(QDBusMessage::createMethodCall(portal::service, session_, portal::sessionInterface,
                                           QStringLiteral("Close")));
  session_.clear();
}

}  // namespace talvo
