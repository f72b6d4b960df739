#pragma once

// Ownership of the Wayland and xkbcommon objects the insertion code holds: each is freed by
// its own library function.
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

}  // namespace talvo::wayland
