#pragma once

#include "storage/history.h"

#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace talvo::test {

// Waits, running this process's events, until `condition` holds; false when it never did.
bool eventually(const std::function<bool()>& condition, int timeoutMs);
// Runs this process's events for a while.
void runEventsFor(int ms);

// How one run of the program ended.
struct ProgramExit {
  bool finished = false;  // false: still running at the deadline, and killed
  bool crashed = false;   // ended by a signal
  int code = -1;
  QString output;  // standard output
  QString errors;  // standard error
  bool operator==(const ProgramExit&) const = default;
};

// The real talvo program as the user starts it: with folders of its own (configuration,
// data, cache, runtime, home) in a temporary directory, on the display, buses and sound
// server this process points at.
class TalvoInstance {
public:
  static constexpr int startTimeoutMs = 30000;
  static constexpr int stopTimeoutMs = 5000;

  struct Options {
    // Writes the settings of a user who finished set-up: no set-up window at launch.
    bool onboarded = true;
    // Opens the main window at launch; off, the launch leaves the screen to the target.
    bool mainWindow = false;
    // Variables to set; an empty optional removes the variable.
    std::map<QString, std::optional<QString>> environment;
  };

  explicit TalvoInstance(const Options& options);
  TalvoInstance(const TalvoInstance&) = delete;
  TalvoInstance& operator=(const TalvoInstance&) = delete;
  ~TalvoInstance();

  // Starts the program and waits for its "launched" log line.
  bool start();
  // Starts the program and returns once the process runs.
  bool launch();
  qint64 pid() const { return process_.processId(); }
  bool running() const { return process_.state() == QProcess::Running; }
  QProcessEnvironment environment() const { return environment_; }

  // Newest first.
  std::vector<History::Entry> history() const;
  QString log() const;
  bool logged(const QString& line) const { return log().contains(line); }
  // The outcomes of the dictations so far, from the log's line about each: "... -> pasted".
  QStringList outcomes() const;
  // The recogniser's loading at launch is over, well or not: the status line then reads
  // ready, over whatever it said before.
  bool warmedUp() const { return logged("speech: model warm") || logged("speech warm-up failed"); }
  // What the program printed so far, for failure messages.
  QString output() const;

  // Runs the program once more, in the same folders, until it ends.
  ProgramExit runAgain(const QStringList& arguments = {}) const;
  // Runs the program in `environment` until it ends.
  static ProgramExit run(const QProcessEnvironment& environment, const QStringList& arguments,
                         int timeoutMs);

private:
  QString folder(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  QTemporaryDir dir_;
  QProcessEnvironment environment_;
  QProcess process_;
};

}  // namespace talvo::test
