#pragma once

namespace talvo {

// Whether the compositor that WAYLAND_DISPLAY names answers.
bool waylandDisplayReachable();

}  // namespace talvo
