#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

// The X11 window facts and requests the shell needs beyond Qt, on one connection of the
// shell's own. Every function is a quiet no-op, or answers none, without an X display.
namespace talvo::x11 {

using WindowId = std::uint64_t;

// The window the window manager reports as active (_NET_ACTIVE_WINDOW).
std::optional<WindowId> activeWindow();
// Asks the window manager to activate `window`, as a pager would (EWMH source 2).
void activate(WindowId window);
// The window's own icon (_NET_WM_ICON, the smallest size of at least 32 pixels), else the
// theme icon its WM_CLASS names.
std::optional<QImage> windowIcon(WindowId window);
// A compositing manager owns the _NET_WM_CM_S selection of the default screen.
bool compositorRunning();
// With `on`, the window's input shape is empty, so clicks reach whatever is below.
void setClickThrough(WindowId window, bool on);

}  // namespace talvo::x11
