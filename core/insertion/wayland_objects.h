#pragma once

// Ownership of the Wayland and xkbcommon objects the insertion code holds: each is freed by
// its own library function.
#include <QString>

#include <wayland-client.h>

#include <memory>

namespace talvo::wayland {

template <auto free>
struct Free {
  template <typename T>
  void operator()(T* object) const {
    free(object);
  }
};

template <typename T, auto free>
using Owned = std::unique_ptr<T, Free<free>>;

using Display = Owned<wl_display, wl_display_disconnect>;
using Registry = Owned<wl_registry, wl_registry_destroy>;
using Seat = Owned<wl_seat, wl_seat_destroy>;

// Connects to the compositor of WAYLAND_DISPLAY and has its globals announced to the
// listener; false, with the reason in `why`, when there is none to reach.
inline bool connect(Display& display, Registry& registry, const wl_registry_listener& listener,
                    void* data, QString& why) {
  display.reset(wl_display_connect(nullptr));
  if (!display) {
    why = QStringLiteral("no Wayland compositor to connect to");
    return false;
  }
  registry.reset(wl_display_get_registry(display.get()));
  wl_registry_add_listener(registry.get(), &listener, data);
  if (wl_display_roundtrip(display.get()) >= 0) return true;
  why = QStringLiteral("the Wayland compositor closed the connection");
  return false;
}

}  // namespace talvo::wayland
