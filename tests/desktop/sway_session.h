#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace talvo::test {

// A headless sway for the life of a test program, and the variables of this process
// (SWAYSOCK, WAYLAND_DISPLAY, XDG_RUNTIME_DIR) pointed at it. Without an X server of its
// own: Wayland clients only.
class SwaySession {
public:
  SwaySession();
  SwaySession(const SwaySession&) = delete;
  SwaySession& operator=(const SwaySession&) = delete;
  ~SwaySession();

  // Empty once sway runs.
  QString problem() const { return problem_; }

  // Keys through a virtual keyboard of their own: wtype's arguments ("-P", "Control_R",
  // "-s", "500", ...). Started, not waited for, so that the caller's events keep flowing.
  static void type(QProcess& typist, const QStringList& arguments);

private:
  QTemporaryDir dir_;
  QProcess sway_;
  QString problem_;
};

}  // namespace talvo::test
