#include "desktop/x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <map>

namespace talvo::test {

namespace {

// Windows can vanish between listing and asking; such errors are expected, not fatal.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

struct XWindows::Impl {
  Display* display = XOpenDisplay(nullptr);
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (display) XCloseDisplay(display);
  }

  Atom atom(const char* name) { return XInternAtom(display, name, False); }

  QByteArray property(Window window, Atom name, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QByteArray bytes;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data) {
      bytes = QByteArray(reinterpret_cast<const char*>(data),
                         qsizetype(count * (format == 32 ? sizeof(long) : format / 8)));
      XFree(data);
    }
    return bytes;
  }

  XWindow describe(Window window, Window parent) {
    XWindow w;
    w.id = window;
    w.parent = parent;
    w.topLevel = parent == DefaultRootWindow(display);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes)) {
      w.overrideRedirect = attributes.override_redirect;
      w.viewable = attributes.map_state == IsViewable;
      int x = 0;
      int y = 0;
      Window child = None;
      XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
      w.frame = QRect(x, y, attributes.width, attributes.height);
    }
    const QByteArray pid = property(window, atom("_NET_WM_PID"), XA_CARDINAL);
    if (pid.size() >= qsizetype(sizeof(long)))
      w.pid = *reinterpret_cast<const long*>(pid.constData());
    w.title = QString::fromUtf8(property(window, atom("_NET_WM_NAME"), atom("UTF8_STRING")));
    if (w.title.isEmpty()) w.title = QString::fromLatin1(property(window, XA_WM_NAME, XA_STRING));
    const QByteArray classes = property(window, XA_WM_CLASS, XA_STRING);
    w.windowClass = QString::fromLatin1(classes.mid(classes.indexOf('\0') + 1)).remove(QChar(0));
    return w;
  }

  void walk(Window window, std::vector<XWindow>& out) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
      out.push_back(describe(children[i], window));
      walk(children[i], out);
    }
    if (children) XFree(children);
  }
};

XWindows::XWindows() : impl_(std::make_unique<Impl>()) { XSetErrorHandler(ignoreErrors); }
XWindows::~XWindows() = default;

std::vector<XWindow> XWindows::all() {
  std::vector<XWindow> windows;
  if (impl_->display) impl_->walk(DefaultRootWindow(impl_->display), windows);
  return windows;
}

std::vector<XWindow> XWindows::ofProcess(qint64 pid) {
  std::vector<XWindow> windows;
  for (const XWindow& w : all())
    if (w.pid == pid) windows.push_back(w);
  return windows;
}

std::vector<XWindow> XWindows::inTray(qint64 pid) {
  if (!impl_->display) return {};
  const Window owner = XGetSelectionOwner(impl_->display, impl_->atom("_NET_SYSTEM_TRAY_S0"));
  if (owner == None) return {};
  // The host docks icons in a panel window of its own, not in the window that owns the
  // selection: an icon is a window of the process inside any window of the host's process.
  const qint64 host = impl_->describe(owner, None).pid;
  std::map<quint64, XWindow> byId;
  std::vector<XWindow> icons;
  for (const XWindow& w : all()) {
    byId[w.id] = w;
    if (w.pid != pid || !w.viewable) continue;
    for (auto up = byId.find(w.parent); up != byId.end(); up = byId.find(up->second.parent))
      if (host != 0 && up->second.pid == host) {
        icons.push_back(w);
        break;
      }
  }
  return icons;
}

quint64 XWindows::clipboardOwner() {
  return impl_->display ? XGetSelectionOwner(impl_->display, impl_->atom("CLIPBOARD")) : 0;
}

bool XWindows::viewable(quint64 window) {
  XWindowAttributes attributes{};
  return impl_->display && XGetWindowAttributes(impl_->display, window, &attributes) &&
         attributes.map_state == IsViewable;
}

bool XWindows::click(QPoint at, unsigned int button) {
  Display* d = impl_->display;
  if (!d) return false;
  XTestFakeMotionEvent(d, -1, at.x(), at.y(), CurrentTime);
  XTestFakeButtonEvent(d, button, True, CurrentTime);
  XTestFakeButtonEvent(d, button, False, CurrentTime);
  XSync(d, False);
  return true;
}

}  // namespace talvo::test
