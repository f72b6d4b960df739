#include "insertion/sway_focused_window.h"

#include "sway/sway_ipc.h"

namespace talvo {

SwayFocusedWindow::SwayFocusedWindow(std::shared_ptr<sway::Connection> connection)
    : connection_(std::move(connection)) {}

std::optional<sway::Window> SwayFocusedWindow::window() {
  if (!connection_ || connection_->broken()) return std::nullopt;
  return sway::focusedWindow(*connection_);
}

std::optional<int64_t> SwayFocusedWindow::pid() {
  const auto focused = window();
  return focused ? std::optional<int64_t>(focused->pid) : std::nullopt;
}

// Programs under Xwayland report screen positions of their own, as on X11.
std::optional<QPoint> SwayFocusedWindow::contentOrigin() {
  const auto focused = window();
  if (!focused || focused->xwayland) return std::nullopt;
  return focused->frame.topLeft() + focused->contentOffset;
}

}  // namespace talvo
