#include "insertion/x11_desktop.h"

#include "insertion/focused_window.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace talvo {

namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

// Answers from a window that vanished between two requests are routine here; the
// default handler would end the process.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

constexpr unsigned heldModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask;

}  // namespace

struct X11Desktop::Impl {
  std::unique_ptr<Display, DisplayCloser> display;

  Display* dpy() const { return display.get(); }

  Window focusWindow() {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy(), &focus, &revert);
    if (focus == PointerRoot || focus == None) return None;
    return focus;
  }

  std::optional<int64_t> clientPid(XID resource) {
    XResClientIdSpec clientSpec{resource, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    if (XResQueryClientIds(dpy(), 1, &clientSpec, &count, &values) != Success) return std::nullopt;
    std::optional<int64_t> pid;
    for (long i = 0; i < count && !pid; ++i) {
      pid_t p = XResGetClientPid(&values[i]);
      if (p > 0) pid = p;
    }
    XResClientIdsDestroy(count, values);
    return pid;
  }

  Window parentOf(Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy(), window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent == root ? None : parent;
  }

  KeyCode code(KeySym sym) { return XKeysymToKeycode(dpy(), sym); }

  void tap(std::initializer_list<KeySym> modifiers, KeySym key) {
    std::vector<KeyCode> held;
    for (KeySym m : modifiers)
      if (KeyCode c = code(m)) {
        XTestFakeKeyEvent(dpy(), c, True, CurrentTime);
        held.push_back(c);
      }
    if (KeyCode c = code(key)) {
      XTestFakeKeyEvent(dpy(), c, True, CurrentTime);
      XTestFakeKeyEvent(dpy(), c, False, CurrentTime);
    }
    std::for_each(held.rbegin(), held.rend(),
                  [this](KeyCode c) { XTestFakeKeyEvent(dpy(), c, False, CurrentTime); });
    XSync(dpy(), False);
  }
};

std::unique_ptr<X11Desktop> X11Desktop::open() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  XSetErrorHandler(ignoreXError);
  auto impl = std::make_unique<Impl>();
  impl->display.reset(display);
  return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(impl)));
}

X11Desktop::X11Desktop(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Desktop::~X11Desktop() = default;

std::optional<int64_t> X11Desktop::focusedClientPid() {
  Window focus = impl_->focusWindow();
  if (focus == None) return std::nullopt;
  return impl_->clientPid(focus);
}

std::pair<QString, QString> X11Desktop::focusedWmClass() {
  // The focus often sits on a child window; WM_CLASS lives on the top-level one.
  for (Window w = impl_->focusWindow(); w != None; w = impl_->parentOf(w)) {
    XClassHint hint{};
    if (XGetClassHint(impl_->dpy(), w, &hint)) {
      std::pair<QString, QString> result{QString::fromLocal8Bit(hint.res_name),
                                         QString::fromLocal8Bit(hint.res_class)};
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
      return result;
    }
  }
  return {};
}

bool X11Desktop::keyboardGrabbedByOther() {
  Display* dpy = impl_->dpy();
  int status =
      XGrabKeyboard(dpy, DefaultRootWindow(dpy), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (status == GrabSuccess) {
    XUngrabKeyboard(dpy, CurrentTime);
    XSync(dpy, False);
    return false;
  }
  return status == AlreadyGrabbed || status == GrabFrozen;
}

bool X11Desktop::ownsSelection(const char* selection) {
  Atom atom = XInternAtom(impl_->dpy(), selection, False);
  Window owner = XGetSelectionOwner(impl_->dpy(), atom);
  if (owner == None) return false;
  auto pid = impl_->clientPid(owner);
  return pid && *pid == int64_t(getpid());
}

bool X11Desktop::modifiersHeld() {
  XkbStateRec state{};
  if (XkbGetState(impl_->dpy(), XkbUseCoreKbd, &state) != Success) return false;
  return (state.mods & heldModifiers) != 0;
}

bool X11Desktop::hasXTest() {
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  return XTestQueryExtension(impl_->dpy(), &event, &error, &major, &minor);
}

void X11Desktop::sendKeys(PasteKeys keys) {
  switch (keys) {
    case PasteKeys::ctrlV: impl_->tap({XK_Control_L}, XK_v); break;
    case PasteKeys::ctrlShiftV: impl_->tap({XK_Control_L, XK_Shift_L}, XK_v); break;
    case PasteKeys::shiftInsert: impl_->tap({XK_Shift_L}, XK_Insert); break;
  }
}

namespace {

class X11FocusedWindow final : public FocusedWindow {
public:
  X11FocusedWindow(std::unique_ptr<X11Desktop> desktop, bool nativeWindowsToo)
      : desktop_(std::move(desktop)), nativeWindowsToo_(nativeWindowsToo) {}
  std::optional<int64_t> pid() override { return desktop_->focusedClientPid(); }
  bool keyboardGrabbedByOther() override { return desktop_->keyboardGrabbedByOther(); }
  bool placeKnown() override { return !nativeWindowsToo_ || pid().has_value(); }

private:
  std::unique_ptr<X11Desktop> desktop_;
  bool nativeWindowsToo_;
};

// Without Xwayland every window is a native one.
class NativeWindows final : public FocusedWindow {
public:
  std::optional<int64_t> pid() override { return std::nullopt; }
  bool placeKnown() override { return false; }
};

std::shared_ptr<FocusedWindow> makeFocusedWindow(bool nativeWindowsToo) {
  auto desktop = X11Desktop::open();
  if (!desktop && nativeWindowsToo) return std::make_shared<NativeWindows>();
  if (!desktop) return nullptr;
  return std::make_shared<X11FocusedWindow>(std::move(desktop), nativeWindowsToo);
}

}  // namespace

std::shared_ptr<FocusedWindow> makeX11FocusedWindow() { return makeFocusedWindow(false); }

std::shared_ptr<FocusedWindow> makeXwaylandFocusedWindow() { return makeFocusedWindow(true); }

}  // namespace talvo
