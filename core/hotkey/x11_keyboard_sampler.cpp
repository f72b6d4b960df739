// The X11 keyboard sampler: modifier state from XKB, keys from XQueryKeymap, both on a
// connection of the sampler's own so that sampling never competes with the toolkit's.
// XInput2 raw key events on that connection tell when sampling is worth doing at all.
#include "hotkey/hotkey_choice.h"
#include "hotkey/keyboard_sampler.h"
#include "storage/log.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <array>
#include <optional>

namespace talvo {

namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// The keys the machine tells apart, by the symbol at level 0 of their key (the key itself,
// whatever the layout puts on its shifted levels).
struct KnownKey {
  KeySym sym;
  uint16_t code;
};
constexpr std::array<KnownKey, 33> knownKeys{{
    {XK_Escape, key_codes::escape},
    {XK_Super_R, key_codes::rightCommand},
    {XK_Super_L, key_codes::command},
    {XK_Shift_L, key_codes::shift},
    {XK_Caps_Lock, key_codes::capsLock},
    {XK_Alt_L, key_codes::option},
    {XK_Control_L, key_codes::control},
    {XK_Shift_R, key_codes::rightShift},
    {XK_Alt_R, key_codes::rightOption},
    {XK_ISO_Level3_Shift, key_codes::rightOption},
    {XK_Control_R, key_codes::rightControl},
    {XK_Left, key_codes::leftArrow},
    {XK_Right, key_codes::rightArrow},
    {XK_Down, key_codes::downArrow},
    {XK_Up, key_codes::upArrow},
    {XK_Home, key_codes::home},
    {XK_End, key_codes::end},
    {XK_Prior, key_codes::pageUp},
    {XK_Next, key_codes::pageDown},
    {XK_Delete, key_codes::forwardDelete},
    {XK_Help, key_codes::help},
    {XK_F1, key_codes::functionKeys[0]},
    {XK_F2, key_codes::functionKeys[1]},
    {XK_F3, key_codes::functionKeys[2]},
    {XK_F4, key_codes::functionKeys[3]},
    {XK_F5, key_codes::functionKeys[4]},
    {XK_F6, key_codes::functionKeys[5]},
    {XK_F7, key_codes::functionKeys[6]},
    {XK_F8, key_codes::functionKeys[7]},
    {XK_F9, key_codes::functionKeys[8]},
    {XK_F10, key_codes::functionKeys[9]},
    {XK_F11, key_codes::functionKeys[10]},
    {XK_F12, key_codes::functionKeys[11]},
}};

// Raw events reach every client that selects them, whoever holds a grab, only from 2.1 on;
// before that a password prompt's grab would hide key changes from us.
constexpr int rawEventsMajor = 2;
constexpr int rawEventsMinor = 1;

// Asks for a raw event on every key change of every keyboard. False when the server
// cannot send them.
bool selectRawKeyEvents(Display* display) {
  int opcode = 0;
  int firstEvent = 0;
  int firstError = 0;
  if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)) return false;
  int major = rawEventsMajor;
  int minor = rawEventsMinor;
  if (XIQueryVersion(display, &major, &minor) != Success) return false;
  if (major < rawEventsMajor || (major == rawEventsMajor && minor < rawEventsMinor)) return false;

  std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> mask{};
  XISetMask(mask.data(), XI_RawKeyPress);
  XISetMask(mask.data(), XI_RawKeyRelease);
  XIEventMask events{XIAllMasterDevices, int(mask.size()), mask.data()};
  if (XISelectEvents(display, DefaultRootWindow(display), &events, 1) != Success) return false;
  XFlush(display);
  return true;
}

std::optional<uint16_t> machineCode(KeySym sym) {
  for (const KnownKey& key : knownKeys)
    if (key.sym == sym) return key.code;
  return std::nullopt;
}

class X11KeyboardSampler final : public KeyboardSampler {
public:
  explicit X11KeyboardSampler(DisplayPtr display) : display_(std::move(display)) {
    buildKeyCodes();
    buildModifierMasks();
    if (!selectRawKeyEvents(display_.get()))
      Log::info(QStringLiteral(
          "hotkey: the X server sends no raw key events; sampling the keyboard continuously"));
    else
      wakeDescriptor_ = ConnectionNumber(display_.get());
  }

  int wakeDescriptor() const override { return wakeDescriptor_; }

  // Any event counts: only raw key events are selected, and a stray one costs a tick at most.
  bool drainWakes() override {
    if (wakeDescriptor_ < 0) return false;
    bool any = false;
    while (XPending(display_.get()) > 0) {
      XEvent event;
      XNextEvent(display_.get(), &event);
      any = true;
    }
    return any;
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
    int minCode = 8;
    int maxCode = 255;
    XDisplayKeycodes(display_.get(), &minCode, &maxCode);
    for (int code = 0; code < 256; ++code) {
      std::optional<uint16_t> known;
      if (code >= minCode && code <= maxCode)
        known = machineCode(XkbKeycodeToKeysym(display_.get(), KeyCode(code), 0, 0));
      codes_[code] = known.value_or(uint16_t(key_codes::otherKeyBase + code));
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
  int wakeDescriptor_ = -1;
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
