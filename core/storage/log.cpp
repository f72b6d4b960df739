#include "storage/log.h"

#include "pipeline/errors.h"
#include "storage/app_paths.h"
#include "storage/append_to_file.h"

#include <QDateTime>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace talvo::Log {
namespace {

// Past this size the log is cut back to its newer half.
constexpr int64_t maxLogBytes = 2'000'000;

std::atomic<bool> echoOn{false};
// Set once the writer has been torn down at exit; later lines are written directly.
std::atomic<bool> writerGone{false};

struct Line {
  QByteArray bytes;
  QString path;
};

// Set while the log file cannot be written, so standard error hears of it once.
std::atomic<bool> failing{false};

// The log is where failures are reported, so its own go to standard error, with the line
// that was lost.
void write(const Line& line) {
  try {
    appendToFile(line.bytes, line.path, maxLogBytes);
    failing = false;
  } catch (const Error& error) {
    if (failing.exchange(true)) return;
    const QByteArray note = "talvo: " + error.message().toUtf8() + "; lost log line: " + line.bytes;
    std::fwrite(note.constData(), 1, std::size_t(note.size()), stderr);
  }
}

// One thread writes every line, so the file sees them in call order and no caller waits
// for the disk.
class Writer {
public:
  Writer() : thread_([this] { run(); }) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() {
    {
      std::lock_guard guard(lock_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    writerGone = true;
  }

  void push(Line line) {
    {
      std::lock_guard guard(lock_);
      queue_.push_back(std::move(line));
      ++queued_;
    }
    wake_.notify_all();
  }

  void flush() {
    std::unique_lock guard(lock_);
    const uint64_t target = queued_;
    wake_.wait(guard, [&] { return written_ >= target; });
  }

private:
  void run() {
    std::unique_lock guard(lock_);
    for (;;) {
      wake_.wait(guard, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      Line line = std::move(queue_.front());
      queue_.pop_front();
      guard.unlock();
      write(line);
      guard.lock();
      ++written_;
      wake_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Line> queue_;
  uint64_t queued_ = 0;
  uint64_t written_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

Writer& writer() {
  static Writer instance;
  return instance;
}

}  // namespace

void info(const QString& message) {
  const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
  const QByteArray bytes = (stamp + QStringLiteral("  ") + message + QLatin1Char('\n')).toUtf8();
  if (echoOn) std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
  Line line{bytes, AppPaths::support() + QStringLiteral("/talvo.log")};
  if (writerGone) {
    write(line);
    return;
  }
  writer().push(std::move(line));
}

void setEcho(bool on) { echoOn = on; }
bool echo() { return echoOn; }

void flush() {
  if (!writerGone) writer().flush();
}

}  // namespace talvo::Log
