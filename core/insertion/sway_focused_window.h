#pragma once

#include "insertion/focused_window.h"
#include "sway/sway_tree.h"

#include <memory>

namespace talvo {

namespace sway {
class Connection;
}

// The focused window as the compositor's tree shows it, on sway and other compositors that
// speak its IPC. Every question asks the compositor afresh.
class SwayFocusedWindow final : public FocusedWindow {
public:
  explicit SwayFocusedWindow(std::shared_ptr<sway::Connection> connection);

  std::optional<int64_t> pid() override;
  std::optional<QPoint> contentOrigin() override;
  std::optional<sway::Window> window();

private:
  std::shared_ptr<sway::Connection> connection_;
};

}  // namespace talvo
