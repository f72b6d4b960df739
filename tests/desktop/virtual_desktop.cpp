#include "desktop/virtual_desktop.h"

#include <QElapsedTimer>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::test {

namespace {

constexpr double startTimeout = 20.0;

bool waitUntil(double seconds, const auto& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > seconds * 1000) return false;
    usleep(20000);
  }
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool displayAnswers(const std::string& name) {
  Display* d = XOpenDisplay(name.c_str());
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

// The value of NAME='value'; or NAME=value; in dbus-launch's shell output.
std::string shellValue(const std::string& text, const std::string& name) {
  auto at = text.find(name + "=");
  if (at == std::string::npos) return {};
  at += name.size() + 1;
  if (text[at] == '\'') {
    ++at;
    return text.substr(at, text.find('\'', at) - at);
  }
  return text.substr(at, text.find(';', at) - at);
}

}  // namespace

VirtualDesktop::VirtualDesktop(bool accessibility) {
  char pattern[] = "/tmp/talvo-desktop-XXXXXX";
  if (!mkdtemp(pattern)) {
    problem_ = "no temporary folder";
    return;
  }
  dir_ = pattern;
  for (const char* sub : {"runtime", "config", "cache", "data"})
    std::filesystem::create_directories(dir_ + "/" + sub);
  std::filesystem::permissions(dir_ + "/runtime", std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", (dir_ + "/runtime").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (dir_ + "/cache").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
  unsetenv("AT_SPI_BUS_ADDRESS");
  ok_ = startX() && (!accessibility || startBuses());
}

bool VirtualDesktop::startX() {
  // Xvfb picks a free display itself and writes its number to the file. Without
  // -noreset it resets whenever its last client leaves, refusing connections meanwhile.
  std::string numberFile = dir_ + "/display";
  xvfb_ = ChildProcess({"sh", "-c",
                        "exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>" + numberFile},
                       {});
  if (!waitUntil(startTimeout, [&] { return readFile(numberFile).find('\n') != std::string::npos; })) {
    problem_ = "Xvfb did not start";
    return false;
  }
  std::string number = readFile(numberFile);
  display_ = ":" + number.substr(0, number.find('\n'));
  if (!waitUntil(startTimeout, [&] { return displayAnswers(display_); })) {
    problem_ = "Xvfb does not answer";
    return false;
  }
  setenv("DISPLAY", display_.c_str(), 1);
  return true;
}

bool VirtualDesktop::startBuses() {
  std::string launchFile = dir_ + "/dbus-launch";
  ChildProcess::Options options;
  options.outputFile = launchFile;
  ChildProcess launch({"dbus-launch", "--sh-syntax"}, options);
  if (!waitUntil(startTimeout, [&] { return !launch.running(); })) {
    problem_ = "dbus-launch hangs";
    return false;
  }
  std::string out = readFile(launchFile);
  std::string address = shellValue(out, "DBUS_SESSION_BUS_ADDRESS");
  std::string pid = shellValue(out, "DBUS_SESSION_BUS_PID");
  if (address.empty() || pid.empty()) {
    problem_ = "no session bus";
    return false;
  }
  sessionBusPid_ = std::stoi(pid);
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  accessibilityBus_ =
      ChildProcess({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}, {});
  // Clients ask the session bus for the accessibility bus; asking before the launcher
  // holds its name would make D-Bus start a second launcher that nobody stops.
  std::string answerFile = dir_ + "/a11y-owner";
  auto announced = [&] {
    ChildProcess::Options options;
    options.outputFile = answerFile;
    std::filesystem::remove(answerFile);
    ChildProcess ask({"dbus-send", "--session", "--dest=org.freedesktop.DBus", "--print-reply",
                      "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                      "string:org.a11y.Bus"},
                     options);
    waitUntil(startTimeout, [&] { return !ask.running(); });
    return readFile(answerFile).find("boolean true") != std::string::npos;
  };
  if (!waitUntil(startTimeout, announced)) {
    problem_ = "the accessibility bus did not start";
    return false;
  }
  return true;
}

VirtualDesktop::~VirtualDesktop() {
  accessibilityBus_.stop();
  if (sessionBusPid_ > 0) kill(sessionBusPid_, SIGTERM);
  xvfb_.stop();
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

}  // namespace talvo::test
