#pragma once

#include <QByteArray>
#include <QString>

namespace talvo {

// The kinds of desktop session the program has parts for.
enum class SessionKind {
  x11,
  // sway, or another compositor that speaks its IPC: everything through the compositor.
  sway,
  // Another Wayland desktop: the key through its shortcut portal, windows through Xwayland
  // where there is one.
  wayland,
  // Nothing to show windows on.
  none,
};

// What answered at start-up.
struct SessionFacts {
  bool waylandDisplaySet = false;  // WAYLAND_DISPLAY
  bool waylandReachable = false;
  bool swayReachable = false;  // SWAYSOCK
  bool xReachable = false;     // DISPLAY
};

struct SessionChoice {
  SessionKind kind = SessionKind::none;
  // The Qt platform plugin to run on; empty for none.
  QByteArray qtPlatform;
  // Why the session is not the one the environment names, for the log; empty when it is.
  QString fallback;
  bool operator==(const SessionChoice&) const = default;
};

// Wayland when WAYLAND_DISPLAY is set and its compositor answers, X11 otherwise.
SessionChoice chooseSession(const SessionFacts& facts);

}  // namespace talvo
