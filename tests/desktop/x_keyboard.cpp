#include "desktop/x_keyboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <vector>

namespace talvo::test {

namespace {

constexpr int focusTimeoutMs = 10000;

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

std::optional<qint64> pidOf(Display* d, Window w) {
  XResClientIdSpec clientSpec{w, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  if (XResQueryClientIds(d, 1, &clientSpec, &count, &values) != Success) return std::nullopt;
  std::optional<qint64> pid;
  for (long i = 0; i < count; ++i)
    if (pid_t p = XResGetClientPid(&values[i]); p > 0) pid = p;
  XResClientIdsDestroy(count, values);
  return pid;
}

// The clients a window manager lists, or without one the root's children, newest last.
std::vector<Window> topLevels(Display* d) {
  std::vector<Window> windows;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST", False), 0,
                         1024, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
      data && format == 32) {
    auto* list = reinterpret_cast<Window*>(data);
    windows.assign(list, list + count);
  } else {
    Window root = None, parent = None, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) windows.assign(children, children + n);
    if (children) XFree(children);
  }
  if (data) XFree(data);
  return windows;
}

Window viewableWindowOf(Display* d, qint64 pid) {
  std::vector<Window> windows = topLevels(d);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, *it, &attrs) || attrs.map_state != IsViewable || attrs.c_class != InputOutput)
      continue;
    if (pidOf(d, *it) == pid) return *it;
  }
  return None;
}

}  // namespace

struct XKeyboard::Impl {
  DisplayPtr display{XOpenDisplay(nullptr)};

  bool send(const char* keysym, bool down) {
    KeySym sym = XStringToKeysym(keysym);
    KeyCode code = display && sym != NoSymbol ? XKeysymToKeycode(display.get(), sym) : 0;
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

bool XKeyboard::focusWindowOf(qint64 pid) {
  Display* d = impl_->display.get();
  QDeadlineTimer deadline(focusTimeoutMs);
  while (d && !deadline.hasExpired()) {
    if (Window w = viewableWindowOf(d, pid); w != None) {
      XRaiseWindow(d, w);
      XSetInputFocus(d, w, RevertToPointerRoot, CurrentTime);
      XSync(d, False);
      return true;
    }
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    else QThread::msleep(10);
  }
  return false;
}

std::optional<qint64> XKeyboard::focusedPid() {
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
  held_ = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
          GrabSuccess;
  XSync(d, False);
}

KeyboardGrab::~KeyboardGrab() {
  if (Display* d = impl_->display.get(); d && held_) {
    XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
  }
}

}  // namespace talvo::test
