#include "desktop/x_keyboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

namespace talvo::test {

namespace {
struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

std::optional<pid_t> pidOf(Display* d, Window w) {
  XResClientIdSpec clientSpec{w, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  if (XResQueryClientIds(d, 1, &clientSpec, &count, &values) != Success) return std::nullopt;
  std::optional<pid_t> pid;
  for (long i = 0; i < count; ++i)
    if (pid_t p = XResGetClientPid(&values[i]); p > 0) pid = p;
  XResClientIdsDestroy(count, values);
  return pid;
}

Window viewableTopLevelOf(Display* d, pid_t pid) {
  Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  Window found = None;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return None;
  for (unsigned i = count; i-- > 0 && found == None;) {
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, children[i], &attrs) || attrs.map_state != IsViewable) continue;
    if (attrs.c_class != InputOutput) continue;
    if (pidOf(d, children[i]) == pid) found = children[i];
  }
  if (children) XFree(children);
  return found;
}

void spinBriefly() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  else usleep(10000);
}
}  // namespace

struct XKeyboard::Impl {
  DisplayPtr display{XOpenDisplay(nullptr)};

  bool send(const char* keysym, bool down) {
    if (!display) return false;
    KeySym sym = XStringToKeysym(keysym);
    KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display.get(), sym);
    if (code == 0) return false;
    XTestFakeKeyEvent(display.get(), code, down ? True : False, CurrentTime);
    XSync(display.get(), False);
    return true;
  }
};

XKeyboard::XKeyboard() : impl_(std::make_unique<Impl>()) {}
XKeyboard::~XKeyboard() = default;

bool XKeyboard::ok() const { return impl_->display != nullptr; }
bool XKeyboard::press(const char* keysym) { return impl_->send(keysym, true); }
bool XKeyboard::release(const char* keysym) { return impl_->send(keysym, false); }
bool XKeyboard::tap(const char* keysym) { return press(keysym) && release(keysym); }

bool XKeyboard::focusWindowOf(pid_t pid, double seconds) {
  Display* d = impl_->display.get();
  if (!d) return false;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) {
    if (Window w = viewableTopLevelOf(d, pid); w != None) {
      XRaiseWindow(d, w);
      XSetInputFocus(d, w, RevertToPointerRoot, CurrentTime);
      XSync(d, False);
      return true;
    }
    spinBriefly();
  }
  return false;
}

std::optional<pid_t> XKeyboard::focusedPid() {
  Display* d = impl_->display.get();
  Window focus = None;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  if (focus == None || focus == PointerRoot) return std::nullopt;
  return pidOf(d, focus);
}

struct KeyboardGrab::Impl {
  DisplayPtr display{XOpenDisplay(nullptr)};
};

KeyboardGrab::KeyboardGrab() : impl_(std::make_unique<Impl>()) {
  Display* d = impl_->display.get();
  if (!d) return;
  held_ = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync,
                        CurrentTime) == GrabSuccess;
  XSync(d, False);
}

KeyboardGrab::~KeyboardGrab() {
  if (Display* d = impl_->display.get(); d && held_) {
    XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
  }
}

}  // namespace talvo::test
