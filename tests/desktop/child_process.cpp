#include "desktop/child_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace talvo::test {

namespace {
constexpr int stopGraceMs = 2000;

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}
}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
  int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
  if (options.pipes && (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)) return;
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    for (const auto& [key, value] : options.env) setenv(key.c_str(), value.c_str(), 1);
    if (options.pipes) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
    } else {
      int devnull = open("/dev/null", O_RDONLY);
      dup2(devnull, 0);
      int out = options.outputFile.empty()
                    ? open("/dev/null", O_WRONLY)
                    : open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      dup2(out, 1);
      dup2(out, 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (options.pipes) {
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
  }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    stop();
    pid_ = std::exchange(other.pid_, -1);
    exited_ = other.exited_;
    exitCode_ = other.exitCode_;
    in_ = std::exchange(other.in_, -1);
    out_ = std::exchange(other.out_, -1);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running() {
  if (pid_ <= 0 || exited_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == 0) return true;
  exited_ = true;
  if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
  return false;
}

void ChildProcess::stop() {
  closeFd(in_);
  closeFd(out_);
  if (pid_ <= 0 || exited_) {
    pid_ = -1;
    return;
  }
  // The child leads its own process group, which holds whatever it started.
  kill(-pid_, SIGTERM);
  QElapsedTimer clock;
  clock.start();
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (clock.elapsed() > stopGraceMs) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    usleep(5000);
  }
  pid_ = -1;
}

bool ChildProcess::writeLine(const std::string& line) {
  if (in_ < 0) return false;
  std::string data = line + "\n";
  return write(in_, data.data(), data.size()) == ssize_t(data.size());
}

std::optional<std::string> ChildProcess::readLine(double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (true) {
    auto end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    if (out_ < 0 || clock.elapsed() > seconds * 1000) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, 5) > 0) {
      char chunk[4096];
      ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, size_t(n));
    } else if (QCoreApplication::instance()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
}

}  // namespace talvo::test
