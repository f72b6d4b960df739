#include "insertion/qt_x11_clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xproto.h>

namespace talvo {

namespace {
// The server answers within a round trip; this only bounds a server that has gone away.
constexpr int answerTimeoutMs = 250;
}  // namespace

QtX11Clock::QtX11Clock() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->display()) return;
  display_ = x11->display();
  atom_ = XInternAtom(static_cast<Display*>(display_), "_TALVO_CLOCK", False);
  window_.create();
  QCoreApplication::instance()->installNativeEventFilter(this);
}

QtX11Clock::~QtX11Clock() {
  if (display_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool QtX11Clock::refresh() {
  if (!display_) return true;
  auto* display = static_cast<Display*>(display_);
  seen_ = false;
  // Appending nothing changes nothing but still reports the change, with the server's time.
  XChangeProperty(display, Window(window_.winId()), Atom(atom_), XA_STRING, 8, PropModeAppend,
                  nullptr, 0);
  XFlush(display);
  QDeadlineTimer deadline(answerTimeoutMs);
  while (!seen_ && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
  return seen_;
}

bool QtX11Clock::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
  if (type != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
  auto* change = static_cast<xcb_property_notify_event_t*>(message);
  if (change->window == window_.winId() && change->atom == atom_) seen_ = true;
  return false;  // Qt's own handling of the event is what sets its clock
}

}  // namespace talvo
