// The X11 keyboard sampler: modifier state from XKB, keys from XQueryKeymap, both on a
// connection of the sampler's own so that sampling never competes with the toolkit's.
#include "hotkey/hotkey_choice.h"
#include "hotkey/keyboard_sampler.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>

namespace talvo {

namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

constexpr uint16_t noCode = 0;  // "not one of the machine's keys"; replaced per key code

// The machine's code for a keysym, or noCode for keys it does not tell apart.
uint16_t machineCode(KeySym sym) {
  switch (sym) {
    case XK_Control_R: return 62;
    case XK_Alt_R:
    case XK_ISO_Level3_Shift: return 61;
    case XK_Super_R: return 54;
    case XK_Super_L: return 55;
    case XK_Shift_L: return 56;
    case XK_Caps_Lock: return 57;
    case XK_Alt_L: return 58;
    case XK_Control_L: return 59;
    case XK_Shift_R: return 60;
    case XK_Escape: return 53;
    case XK_Left: return 123;
    case XK_Right: return 124;
    case XK_Down: return 125;
    case XK_Up: return 126;
    case XK_Home: return 115;
    case XK_End: return 119;
    case XK_Prior: return 116;
    case XK_Next: return 121;
    case XK_Delete: return 117;
    case XK_Help: return 114;
    case XK_F1: return 122;
    case XK_F2: return 120;
    case XK_F3: return 99;
    case XK_F4: return 118;
    case XK_F5: return 96;
    case XK_F6: return 97;
    case XK_F7: return 98;
    case XK_F8: return 100;
    case XK_F9: return 101;
    case XK_F10: return 109;
    case XK_F11: return 103;
    case XK_F12: return 111;
    default: return noCode;
  }
}

class X11KeyboardSampler final : public KeyboardSampler {
public:
  explicit X11KeyboardSampler(DisplayPtr display) : display_(std::move(display)) {
    buildKeyCodes();
    buildModifierMasks();
  }

  uint64_t flags() override {
    XkbStateRec state{};
    if (XkbGetState(display_.get(), XkbUseCoreKbd, &state) != Success) return 0;
    unsigned mods = state.mods;
    uint64_t result = 0;
    if (mods & ShiftMask) result |= key_flags::shift;
    if (mods & ControlMask) result |= key_flags::control;
    if (mods & alternateMask_) result |= key_flags::alternate;
    if (mods & commandMask_) result |= key_flags::command;
    return result;
  }

  KeySet down() override {
    char keys[32]{};
    XQueryKeymap(display_.get(), keys);
    KeySet result;
    for (int byte = 0; byte < 32; ++byte) {
      if (keys[byte] == 0) continue;
      for (int bit = 0; bit < 8; ++bit)
        if (keys[byte] & (1 << bit)) result.insert(codes_[byte * 8 + bit]);
    }
    return result;
  }

private:
  void buildKeyCodes() {
    int minCode = 8, maxCode = 255;
    XDisplayKeycodes(display_.get(), &minCode, &maxCode);
    for (int code = 0; code < 256; ++code) {
      uint16_t mapped = noCode;
      if (code >= minCode && code <= maxCode) {
        // Level 0 of group 0 names the key itself, whatever the layout's shifted symbols.
        mapped = machineCode(XkbKeycodeToKeysym(display_.get(), KeyCode(code), 0, 0));
      }
      codes_[code] = mapped != noCode ? mapped : uint16_t(otherKeyBase + code);
    }
  }

  // Mod1 and Mod4 are Alt and Super; a Right Alt that the layout turned into
  // ISO_Level3_Shift sits on another modifier, which then counts as Alt as well.
  void buildModifierMasks() {
    alternateMask_ = Mod1Mask;
    commandMask_ = Mod4Mask;
    XModifierKeymap* map = XGetModifierMapping(display_.get());
    if (!map) return;
    for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; ++mod) {
      for (int i = 0; i < map->max_keypermod; ++i) {
        KeyCode code = map->modifiermap[mod * map->max_keypermod + i];
        if (code == 0) continue;
        KeySym sym = XkbKeycodeToKeysym(display_.get(), code, 0, 0);
        if (sym == XK_Alt_R || sym == XK_ISO_Level3_Shift) alternateMask_ |= 1u << mod;
        if (sym == XK_Super_R) commandMask_ |= 1u << mod;
      }
    }
    XFreeModifiermap(map);
  }

  DisplayPtr display_;
  std::array<uint16_t, 256> codes_{};
  unsigned alternateMask_ = Mod1Mask;
  unsigned commandMask_ = Mod4Mask;
};

}  // namespace

std::unique_ptr<KeyboardSampler> makeX11KeyboardSampler() {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return nullptr;
  return std::make_unique<X11KeyboardSampler>(std::move(display));
}

}  // namespace talvo
