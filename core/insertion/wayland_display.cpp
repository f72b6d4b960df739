#include "insertion/wayland_display.h"

#include "insertion/wayland_objects.h"

namespace talvo {

bool waylandDisplayReachable() {
  const wayland::Display display(wl_display_connect(nullptr));
  return display && wl_display_roundtrip(display.get()) >= 0;
}

}  // namespace talvo
