#pragma once

#include <QPoint>

#include <cstdint>
#include <memory>
#include <optional>

namespace talvo {

// What the window system, rather than the accessibility bus, knows of the window that has
// the keyboard focus.
class FocusedWindow {
public:
  virtual ~FocusedWindow() = default;

  virtual std::optional<int64_t> pid() = 0;
  // A keyboard grab held by someone else: a password prompt or a locked screen.
  virtual bool keyboardGrabbedByOther() { return false; }
  // Where the window's content starts on the desktop, where toolkits report positions
  // relative to their own window (Wayland); none where they report screen positions.
  virtual std::optional<QPoint> contentOrigin() { return std::nullopt; }
  // Whether positions in the window can be put on the desktop at all: not in a native
  // window on a Wayland desktop that tells no program where its windows are.
  virtual bool placeKnown() { return true; }
};

// The X server's view, on a connection of its own; null when no X display can be opened.
std::shared_ptr<FocusedWindow> makeX11FocusedWindow();

// The same, for Xwayland on a Wayland desktop: a window the X server does not know is a
// native one, whose place is unknown; without Xwayland, every window is.
std::shared_ptr<FocusedWindow> makeXwaylandFocusedWindow();

}  // namespace talvo
