#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

namespace talvo::sway {

class Connection;

// A window as the compositor's tree describes it.
struct Window {
  qint64 id = 0;  // the compositor's, for commands about this window
  qint64 pid = 0;
  // The Wayland app id; for an X11 program under Xwayland, its WM_CLASS class.
  QString appId;
  QString title;
  QRect frame;  // on the whole desktop, in logical pixels
  bool xwayland = false;
  bool floating = false;
  // Where the program's own surface starts inside the frame, past the border and title bar.
  QPoint contentOffset;
  bool operator==(const Window&) const = default;
};

// From the tree's JSON: the focused window, or the first window of a process. None when
// there is no such window, or the text is no tree.
std::optional<Window> focusedIn(const QByteArray& tree);
std::optional<Window> firstOfProcessIn(const QByteArray& tree, qint64 pid);

// The same, asked of the compositor.
std::optional<Window> focusedWindow(Connection& connection);
std::optional<Window> firstWindowOf(Connection& connection, qint64 pid);

}  // namespace talvo::sway
