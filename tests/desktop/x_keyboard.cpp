#include "desktop/x_keyboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace talvo::test {

namespace {
constexpr int focusTimeoutMs = 20000;  // a new program can take this long to map on a busy machine
}

struct XKeyboard::Impl {
  Display* display = XOpenDisplay(nullptr);
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (display) XCloseDisplay(display);
  }
  bool send(const char* keysym, bool down) {
    KeySym sym = XStringToKeysym(keysym);
    KeyCode code = display && sym != NoSymbol ? XKeysymToKeycode(display, sym) : 0;
    if (code == 0) return false;
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    XSync(display, False);
    return true;
  }
  bool viewable(Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
  }
};

XKeyboard::XKeyboard() : impl_(std::make_unique<Impl>()) {}
XKeyboard::~XKeyboard() = default;

bool XKeyboard::press(const char* keysym) { return impl_->send(keysym, true); }
bool XKeyboard::release(const char* keysym) { return impl_->send(keysym, false); }

bool XKeyboard::focus(quint64 window) {
  // Focusing a window that is not on screen yet would be a protocol error.
  for (QDeadlineTimer deadline(focusTimeoutMs); !impl_->viewable(window);)
    if (deadline.hasExpired())
      return false;
    else
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  XSetInputFocus(impl_->display, window, RevertToPointerRoot, CurrentTime);
  XSync(impl_->display, False);
  return true;
}

quint64 XKeyboard::focused() {
  Window focus = None;
  int revert = 0;
  XGetInputFocus(impl_->display, &focus, &revert);
  return focus;
}

bool XKeyboard::grab() {
  Display* d = impl_->display;
  bool held = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync,
                            CurrentTime) == GrabSuccess;
  XSync(d, False);
  return held;
}

void XKeyboard::ungrab() {
  XUngrabKeyboard(impl_->display, CurrentTime);
  XSync(impl_->display, False);
}

}  // namespace talvo::test
