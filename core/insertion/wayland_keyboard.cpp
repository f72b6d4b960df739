#include "insertion/wayland_keyboard.h"

#include "insertion/wayland_objects.h"
#include "storage/file_io.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace talvo {
namespace {

using wayland::Owned;
using ManagerPtr = Owned<zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_manager_v1_destroy>;
using KeyboardPtr = Owned<zwp_virtual_keyboard_v1, zwp_virtual_keyboard_v1_destroy>;
using ContextPtr = Owned<xkb_context, xkb_context_unref>;
using KeymapPtr = Owned<xkb_keymap, xkb_keymap_unref>;

// xkb keycodes are evdev codes moved up by this much.
constexpr uint32_t evdevOffset = 8;

uint32_t nowMs() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The evdev code of the key that gives this symbol unshifted, in the first layout.
std::optional<uint32_t> codeOf(xkb_keymap* keymap, xkb_keysym_t symbol) {
  for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
       ++key) {
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &symbols);
    for (int i = 0; i < count; ++i)
      if (symbols[i] == symbol) return key - evdevOffset;
  }
  return std::nullopt;
}

}  // namespace

struct WaylandKeyboard::Impl {
  wayland::Display display;
  wayland::Registry registry;
  wayland::Seat seat;
  ManagerPtr manager;
  KeyboardPtr keyboard;
  ContextPtr context;
  KeymapPtr keymap;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    // The destroy requests go out before the connection closes.
    keyboard.reset();
    manager.reset();
    seat.reset();
    registry.reset();
    if (display) wl_display_flush(display.get());
  }

  static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t /*version*/) {
    auto* self = static_cast<Impl*>(data);
    if (!self->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
      self->seat.reset(
          static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
    if (!self->manager &&
        std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
      self->manager.reset(static_cast<zwp_virtual_keyboard_manager_v1*>(
          wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1)));
  }
  static void globalRemove(void*, wl_registry*, uint32_t) {}

  // The keymap goes to the compositor as a file; false when it cannot be made.
  bool uploadKeymap() {
    context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    // The system's default layout (or XKB_DEFAULT_*): what the user's programs expect.
    if (context)
      keymap.reset(xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return false;
    char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return false;
    const std::size_t size = std::strlen(text) + 1;
    file_io::Fd file(memfd_create("talvo-keymap", MFD_CLOEXEC));
    const bool written = file.valid() && ::write(file.get(), text, size) == ssize_t(size);
    std::free(text);  // NOLINT(cppcoreguidelines-no-malloc): libxkbcommon allocates it
    if (!written) return false;
    zwp_virtual_keyboard_v1_keymap(keyboard.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.get(),
                                   uint32_t(size));
    return wl_display_roundtrip(display.get()) >= 0;
  }

  uint32_t modifierMask(const char* name) const {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap.get(), name);
    return index == XKB_MOD_INVALID ? 0 : 1U << index;
  }

  void key(uint32_t code, bool down) {
    zwp_virtual_keyboard_v1_key(
        keyboard.get(), nowMs(), code,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  }
};

std::unique_ptr<WaylandKeyboard> WaylandKeyboard::open(QString& why) {
  auto impl = std::make_unique<Impl>();
  static const wl_registry_listener listener{&Impl::global, &Impl::globalRemove};
  if (!wayland::connect(impl->display, impl->registry, listener, impl.get(), why)) return nullptr;
  if (!impl->seat || !impl->manager) {
    why = QStringLiteral("the compositor offers no virtual keyboard");
    return nullptr;
  }
  impl->keyboard.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(impl->manager.get(),
                                                                               impl->seat.get()));
  if (!impl->uploadKeymap()) {
    why = QStringLiteral("the virtual keyboard's keymap could not be set");
    return nullptr;
  }
  return std::unique_ptr<WaylandKeyboard>(new WaylandKeyboard(std::move(impl)));
}

WaylandKeyboard::WaylandKeyboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WaylandKeyboard::~WaylandKeyboard() = default;

bool WaylandKeyboard::press(PasteKeys keys) {
  Impl& k = *impl_;
  std::vector<xkb_keysym_t> held{XKB_KEY_Control_L};
  xkb_keysym_t last = XKB_KEY_v;
  if (keys == PasteKeys::ctrlShiftV) held.push_back(XKB_KEY_Shift_L);
  if (keys == PasteKeys::shiftInsert) {
    held = {XKB_KEY_Shift_L};
    last = XKB_KEY_Insert;
  }
  const auto lastCode = codeOf(k.keymap.get(), last);
  if (!lastCode) return false;
  uint32_t mask = 0;
  std::vector<uint32_t> down;
  for (xkb_keysym_t symbol : held) {
    const auto code = codeOf(k.keymap.get(), symbol);
    if (!code) return false;
    k.key(*code, true);
    down.push_back(*code);
    mask |= k.modifierMask(symbol == XKB_KEY_Shift_L ? XKB_MOD_NAME_SHIFT : XKB_MOD_NAME_CTRL);
    zwp_virtual_keyboard_v1_modifiers(k.keyboard.get(), mask, 0, 0, 0);
  }
  k.key(*lastCode, true);
  k.key(*lastCode, false);
  std::for_each(down.rbegin(), down.rend(), [&](uint32_t code) { k.key(code, false); });
  zwp_virtual_keyboard_v1_modifiers(k.keyboard.get(), 0, 0, 0, 0);
  return wl_display_roundtrip(k.display.get()) >= 0;
}

}  // namespace talvo
