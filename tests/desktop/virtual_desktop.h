#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <functional>
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
    // A system tray host (trayer) that docks XEmbed icons.
    bool tray = false;
  };

  explicit VirtualDesktop(Options options);
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;
  ~VirtualDesktop();

  // Empty once everything asked for runs.
  QString problem() const { return problem_; }

private:
  QProcess& launch(const QString& program, const QStringList& arguments);
  bool startX();
  bool startBuses();

  QTemporaryDir dir_;
  QString problem_;
  std::vector<std::unique_ptr<QProcess>> processes_;  // stopped in reverse order
};

// Entry of a desktop test program. Listing the tests (as test discovery does at build
// time) needs no desktop; running them starts one first, then hands over to `run`, which
// makes the Qt application and runs the tests.
int runInVirtualDesktop(int& argc, char** argv, VirtualDesktop::Options options,
                        const std::function<int()>& run);

}  // namespace talvo::test
