#pragma once

#include "fixcard/fix_card_controller.h"

#include <memory>

namespace talvo {

namespace sway {
class Connection;
}

// The focus through the compositor's IPC on sway and its kin. It also floats the card, which
// would otherwise be tiled among the user's windows.
std::shared_ptr<WindowFocus> makeSwayWindowFocus(std::shared_ptr<sway::Connection> sway);

}  // namespace talvo
