#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace talvo::test {

// A private X server, and on request a window manager and the session and accessibility
// buses, for the life of a test program. Points DISPLAY, the XDG folders and the bus
// variables of this process at them. Start it before any Qt GUI object exists: the
// toolkit reads DISPLAY once.
class VirtualDesktop {
public:
  struct Options {
    bool accessibility = false;
    bool windowManager = false;
  };

  explicit VirtualDesktop(Options options);
  ~VirtualDesktop();
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;

  bool ok() const { return problem_.isEmpty(); }
  QString problem() const { return problem_; }

private:
  QProcess& launch(const QString& program, const QStringList& arguments);
  // The first line the process prints, or empty when it prints none in time.
  static QString firstLine(QProcess& process);
  bool startX();
  bool startWindowManager();
  bool startBuses();

  QTemporaryDir dir_;
  QString problem_;
  std::vector<std::unique_ptr<QProcess>> processes_;  // stopped in reverse order
};

}  // namespace talvo::test
