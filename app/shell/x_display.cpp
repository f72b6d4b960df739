#include "shell/x_display.h"

#include <X11/Xlib.h>

namespace talvo {

bool xDisplayAvailable() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace talvo
