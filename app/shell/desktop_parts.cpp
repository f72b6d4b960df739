#include "shell/desktop_parts.h"

#include "bar/pill_panel.h"
#include "bar/sway_pill_panel.h"
#include "fixcard/fix_card_controller.h"
#include "fixcard/sway_window_focus.h"
#include "hotkey/portal_shortcut_sampler.h"
#include "insertion/focused_window.h"
#include "insertion/paste_keys.h"
#include "insertion/portal_keyboard.h"
#include "insertion/qt_clipboard.h"
#include "insertion/sway_focused_window.h"
#include "insertion/wayland_clipboard.h"
#include "insertion/wayland_keyboard.h"
#include "insertion/x11_paste_sender.h"
#include "setup/onboarding_view.h"
#include "storage/log.h"
#include "storage/preferences.h"
#include "sway/sway_ipc.h"
#include "sway/sway_rules.h"
#include "widgets/look.h"

#include <QGuiApplication>

namespace talvo {
namespace {

// Also the windows of other Wayland desktops, through Xwayland, where native windows are
// not the X server's.
DesktopParts x11Parts(bool xwayland = false) {
  DesktopParts parts;
  parts.paths = {QStringLiteral("X11 keyboard"), QStringLiteral("XTest"),
                 QStringLiteral("X11 selection"), QStringLiteral("X11 window")};
  parts.focusedWindow = xwayland ? makeXwaylandFocusedWindow() : makeX11FocusedWindow();
  auto clipboard = std::make_shared<QtClipboard>();
  parts.clipboard = clipboard;
  parts.canPaste = X11PasteSender::trusted;
  auto sender = std::make_shared<X11PasteSender>(clipboard);
  parts.sendPaste = [sender](const QString& role) { sender->sendPaste(role); };
  parts.hotkey = [](HotkeyChoice) { return makeX11KeyboardSampler(); };
  parts.bar = makeDesktopBar(parts.focusedWindow);
  parts.windowFocus = makeDesktopWindowFocus();
  return parts;
}

// The compositor's clipboard where it lets programs without a focused window use it; the
// toolkit's otherwise.
void useWaylandClipboard(DesktopParts& parts) {
  QString why;
  if (auto clipboard = WaylandClipboard::open(why)) {
    parts.clipboard = std::move(clipboard);
    parts.paths.clipboard = QStringLiteral("Wayland data control");
    return;
  }
  Log::info(QStringLiteral("clipboard: ") + why);
  parts.clipboard = std::make_shared<QtClipboard>();
  parts.paths.clipboard = QStringLiteral("Qt clipboard");
}

// Keys for the focused window, from its app id (or, under Xwayland, its class) and role.
void useVirtualKeyboard(DesktopParts& parts, const std::shared_ptr<SwayFocusedWindow>& focused) {
  QString why;
  std::shared_ptr<WaylandKeyboard> keyboard = WaylandKeyboard::open(why);
  if (!keyboard) {
    Log::info(QStringLiteral("paste: ") + why);
    parts.paths.paste = QStringLiteral("none, words stay on the clipboard");
    parts.canPaste = [] { return false; };
    return;
  }
  parts.paths.paste = QStringLiteral("Wayland virtual keyboard");
  parts.canPaste = [] { return true; };
  parts.sendPaste = [keyboard, focused](const QString& role) {
    const auto window = focused->window();
    const QString appId = window ? window->appId : QString();
    if (!keyboard->press(choosePasteKeys(appId, appId, role)))
      Log::info(QStringLiteral("paste: the compositor did not take the keys"));
  };
}

// The set-up window is laid out for its own size, which tiling would stretch to the screen's.
void floatSetUp(sway::Connection& sway) {
  const QString setUp = sway::criteria(QGuiApplication::desktopFileName(),
                                       look::titleAsShown(OnboardingView::windowTitle));
  if (const QString error = sway.run(sway::floatingRule(setUp, false)); !error.isEmpty())
    Log::info(QStringLiteral("set-up: no window rule: ") + error);
}

DesktopParts swayParts() {
  QString why;
  std::shared_ptr<sway::Connection> sway =
      sway::Connection::open(qEnvironmentVariable("SWAYSOCK"), why);
  if (!sway) {
    Log::info(QStringLiteral("sway: ") + why);
    return x11Parts();
  }
  DesktopParts parts;
  auto focused = std::make_shared<SwayFocusedWindow>(sway);
  parts.focusedWindow = focused;
  parts.paths.hotkey = QStringLiteral("sway bindings");
  parts.hotkey = [](HotkeyChoice choice) { return makeSwayKeyboardSampler(choice); };
  useWaylandClipboard(parts);
  useVirtualKeyboard(parts, focused);
  parts.paths.bar = QStringLiteral("sway floating window");
  parts.bar = makeSwayBar(sway);
  parts.windowFocus = makeSwayWindowFocus(sway);
  floatSetUp(*sway);
  return parts;
}

// Programs send keys here only with the desktop's consent, asked for once at the start;
// until it is given, the words are left on the clipboard.
void usePortalKeyboard(DesktopParts& parts, const std::shared_ptr<Preferences>& prefs) {
  auto keyboard =
      std::make_shared<PortalKeyboard>(QDBusConnection::sessionBus(), prefs->keysRestoreToken());
  keyboard->onRestoreToken = [weak = std::weak_ptr<Preferences>(prefs)](const QString& token) {
    if (auto p = weak.lock()) p->setKeysRestoreToken(token);
  };
  parts.paths.paste = QStringLiteral("remote desktop portal");
  parts.canPaste = [keyboard] { return keyboard->ready(); };
  // Native windows have no class to go by, so the focused element's role decides.
  parts.sendPaste = [keyboard](const QString& role) {
    keyboard->press(choosePasteKeys(QString(), QString(), role));
  };
}

// The windows are X11 ones on Xwayland, where there is one.
DesktopParts waylandParts(const std::shared_ptr<Preferences>& prefs) {
  DesktopParts parts = x11Parts(true);
  parts.paths.hotkey = QStringLiteral("shortcut portal");
  parts.hotkeyPath = HotkeyPath::desktopShortcut;
  parts.hotkey = [](HotkeyChoice choice) {
    return makePortalShortcutSampler(choice, QDBusConnection::sessionBus());
  };
  useWaylandClipboard(parts);
  usePortalKeyboard(parts, prefs);
  return parts;
}

}  // namespace

QString describe(const DesktopPaths& paths) {
  return QStringLiteral("desktop: hotkey %1, paste %2, clipboard %3, bar %4")
      .arg(paths.hotkey, paths.paste, paths.clipboard, paths.bar);
}

DesktopParts makeDesktopParts(SessionKind kind, const std::shared_ptr<Preferences>& prefs) {
  switch (kind) {
    case SessionKind::sway: return swayParts();
    case SessionKind::wayland: return waylandParts(prefs);
    case SessionKind::x11:
    case SessionKind::none: break;
  }
  return x11Parts();
}

}  // namespace talvo
