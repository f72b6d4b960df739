#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace talvo::test {

// A child process of a test, stopped by its own PID when the object goes.
class ChildProcess {
public:
  struct Options {
    std::map<std::string, std::string> env;  // added to (or replacing in) our environment
    bool pipes = false;                      // connect its stdin and stdout to us
    std::string outputFile;                  // else stdout and stderr go here (or nowhere)
  };

  ChildProcess() = default;
  ChildProcess(const std::vector<std::string>& argv, const Options& options);
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();

  bool running();
  // The exit status once it has ended by itself.
  std::optional<int> exitCode() const { return exitCode_; }
  pid_t pid() const { return pid_; }
  void stop();

  bool writeLine(const std::string& line);
  // One line of its output; spins the Qt event loop (if there is one) while waiting,
  // so that the child can ask us for our clipboard meanwhile.
  std::optional<std::string> readLine(double seconds);

private:
  pid_t pid_ = -1;
  bool exited_ = false;
  std::optional<int> exitCode_;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace talvo::test
