#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace talvo::test {

// One X window as another client sees it.
struct XWindow {
  quint64 id = 0;
  quint64 parent = 0;
  qint64 pid = 0;  // _NET_WM_PID, 0 when unset
  QString title;
  QString windowClass;    // the class half of WM_CLASS
  bool topLevel = false;  // a child of the root: not docked or embedded in another window
  bool overrideRedirect = false;
  bool viewable = false;
  QRect frame;  // in root coordinates
  bool operator==(const XWindow&) const = default;
};

// Looks at the windows of the display and clicks on them, on an X connection of the tests'
// own.
class XWindows {
public:
  XWindows();
  XWindows(const XWindows&) = delete;
  XWindows& operator=(const XWindows&) = delete;
  ~XWindows();

  // Every window below the root, parents before their children.
  std::vector<XWindow> all();
  // Those of one process, by _NET_WM_PID.
  std::vector<XWindow> ofProcess(qint64 pid);
  // Windows of one process that sit inside the tray host's window: its docked icons.
  std::vector<XWindow> inTray(qint64 pid);
  // The owner of the CLIPBOARD selection, 0 for none.
  quint64 clipboardOwner();
  bool viewable(quint64 window);
  // A click at a point of the root window: button 1 is the left, 3 the right.
  bool click(QPoint at, unsigned int button = 1);

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvo::test
