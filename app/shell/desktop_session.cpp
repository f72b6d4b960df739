#include "shell/desktop_session.h"

namespace talvo {

SessionChoice chooseSession(const SessionFacts& facts) {
  if (facts.waylandReachable && facts.swayReachable) return {SessionKind::sway, "wayland", {}};
  // Override-redirect windows on Xwayland keep the bar out of the focus, which a Wayland
  // window cannot ask for there.
  if (facts.waylandReachable)
    return {SessionKind::wayland, facts.xReachable ? "xcb" : "wayland", {}};
  QString fallback;
  if (facts.waylandDisplaySet) fallback = QStringLiteral("the Wayland display does not answer");
  if (facts.xReachable) return {SessionKind::x11, "xcb", fallback};
  return {SessionKind::none, {}, fallback};
}

}  // namespace talvo
