#pragma once

#include "desktop/child_process.h"

#include <string>

namespace talvo::test {

// A private X server, and on request a session bus with the accessibility bus, for the
// life of a test program. Points DISPLAY and the bus variables of this process at them.
// Start it before any Qt GUI object exists: the toolkit reads DISPLAY once.
class VirtualDesktop {
public:
  explicit VirtualDesktop(bool accessibility);
  ~VirtualDesktop();
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;

  bool ok() const { return ok_; }
  const std::string& display() const { return display_; }
  const std::string& dir() const { return dir_; }
  std::string problem() const { return problem_; }

private:
  bool startX();
  bool startBuses();

  bool ok_ = false;
  std::string dir_;
  std::string display_;
  std::string problem_;
  ChildProcess xvfb_;
  ChildProcess accessibilityBus_;
  pid_t sessionBusPid_ = -1;
};

}  // namespace talvo::test
