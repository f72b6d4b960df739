#include "widgets/x11_windows.h"

#include "widgets/look.h"

#include <QIcon>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

#include <memory>
#include <vector>

namespace talvo::x11 {
namespace {

constexpr long maxIconWords = 1 << 22;  // caps a hostile _NET_WM_ICON at 16 MB
constexpr unsigned long minIconSize = 32;
constexpr long pagerSource = 2;

// Kept open for the life of the process and never closed: at exit the server may already
// be gone, and Xlib treats a dead connection as fatal.
Display* display() {
  static Display* const connection = XOpenDisplay(nullptr);
  return connection;
}

struct XFreeer {
  void operator()(unsigned char* p) const { XFree(p); }
};
using XData = std::unique_ptr<unsigned char, XFreeer>;

struct Property {
  XData data;
  unsigned long items = 0;
  int format = 0;
};

std::optional<Property> property(Display* d, Window w, const char* name, Atom type,
                                 long maxWords = 1024) {
  Atom actualType = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, maxWords, False, type, &actualType,
                         &format, &items, &after, &raw) != Success)
    return std::nullopt;
  Property p{XData(raw), items, format};
  if (!raw || actualType == None || items == 0) return std::nullopt;
  return p;
}

// _NET_WM_ICON is a run of (width, height, pixels...) entries, one long per value.
std::optional<QImage> netWmIcon(Display* d, Window w) {
  const auto prop = property(d, w, "_NET_WM_ICON", XA_CARDINAL, maxIconWords);
  if (!prop || prop->format != 32) return std::nullopt;
  const auto* values = reinterpret_cast<const unsigned long*>(prop->data.get());
  const unsigned long n = prop->items;
  std::optional<std::pair<unsigned long, unsigned long>> best;  // offset, size
  for (unsigned long i = 0; i + 2 <= n;) {
    const unsigned long width = values[i];
    const unsigned long height = values[i + 1];
    if (width == 0 || height == 0 || width > 4096 || height > 4096) break;
    if (width * height > n - i - 2) break;
    const bool better =
        !best || (width >= minIconSize ? best->second < minIconSize || width < best->second
                                       : best->second < minIconSize && width > best->second);
    if (better) best = {i, width};
    i += 2 + width * height;
  }
  if (!best) return std::nullopt;
  const unsigned long width = values[best->first];
  const unsigned long height = values[best->first + 1];
  QImage image(int(width), int(height), QImage::Format_ARGB32);
  for (unsigned long y = 0; y < height; ++y)
    for (unsigned long x = 0; x < width; ++x)
      image.setPixel(int(x), int(y), uint(values[best->first + 2 + y * width + x] & 0xffffffffu));
  return image;
}

std::optional<QImage> classIcon(Display* d, Window w) {
  XClassHint hint{};
  if (!XGetClassHint(d, w, &hint)) return std::nullopt;
  const QString instance = QString::fromLocal8Bit(hint.res_name ? hint.res_name : "");
  const QString klass = QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return look::appIcon({klass.toLower(), instance.toLower(), klass});
}

}  // namespace

std::optional<WindowId> activeWindow() {
  Display* d = display();
  if (!d) return std::nullopt;
  const auto prop = property(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
  if (!prop || prop->format != 32) return std::nullopt;
  const auto window = *reinterpret_cast<const unsigned long*>(prop->data.get());
  if (window == None) return std::nullopt;
  return WindowId(window);
}

void activate(WindowId window) {
  Display* d = display();
  if (!d) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = Window(window);
  event.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = pagerSource;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(d);
}

std::optional<QImage> windowIcon(WindowId window) {
  Display* d = display();
  if (!d) return std::nullopt;
  if (auto icon = netWmIcon(d, Window(window))) return icon;
  return classIcon(d, Window(window));
}

bool compositorRunning() {
  Display* d = display();
  if (!d) return false;
  const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(d));
  return XGetSelectionOwner(d, XInternAtom(d, name.constData(), False)) != None;
}

void setClickThrough(WindowId window, bool on) {
  Display* d = display();
  if (!d) return;
  if (on) {
    XserverRegion empty = XFixesCreateRegion(d, nullptr, 0);
    XFixesSetWindowShapeRegion(d, Window(window), ShapeInput, 0, 0, empty);
    XFixesDestroyRegion(d, empty);
  } else {
    XFixesSetWindowShapeRegion(d, Window(window), ShapeInput, 0, 0, None);
  }
  XFlush(d);
}

}  // namespace talvo::x11
