#pragma once

namespace talvo {

// Whether an X display answers at $DISPLAY. Asked before any toolkit object exists, so
// that a missing display gives a message rather than the toolkit's abort.
bool xDisplayAvailable();

}  // namespace talvo
