#include "storage/history.h"

#include "storage/app_paths.h"
#include "storage/append_to_file.h"
#include "storage/file_io.h"
#include "storage/history_codec.h"
#include "pipeline/errors.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace talvo {
namespace {

// 500 entries of long dictations fit many times over; beyond this the file is not ours.
constexpr int64_t maxFileBytes = 64 << 20;

// True when the file exists, is not empty and its last byte is not a line feed: a write
// was cut short. The next entry must then start on a line of its own, or it would be glued
// to the broken line and lost with it.
bool endsMidLine(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char last = '\n';
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1) last = '\n';
  ::close(fd);
  return last != '\n';
}

std::size_t nonEmptyLines(const QByteArray& data) {
  std::size_t count = 0;
  char previous = '\n';
  for (char c : data) {
    if (c == '\n' && previous != '\n') ++count;
    previous = c;
  }
  return count + (previous != '\n' ? 1 : 0);
}

}  // namespace

History::History(QString path, int cap) : path_(std::move(path)), cap_(std::max(cap, 0)) {}

QString History::defaultPath() { return AppPaths::support() + QStringLiteral("/history.jsonl"); }

void History::append(const Entry& entry) {
  std::lock_guard guard(lock_);
  std::optional<QByteArray> line = history_codec::encode(entry);
  if (!line) return;
  line->append('\n');
  if (endsMidLine(path_)) line->prepend('\n');
  appendToFile(*line, path_, unboundedBytes);
  trim();
}

std::vector<History::Entry> History::recent(int n) const {
  std::lock_guard guard(lock_);
  return loadNewest(std::size_t(std::max(n, 0)));
}

void History::clear() {
  std::lock_guard guard(lock_);
  ::unlink(QFile::encodeName(path_).constData());
}

// Lines are decoded one by one, so a damaged line (bad JSON, bad UTF-8, a NUL byte) costs
// only itself, never the entries around it. Decoding runs from the end of the file and stops
// after `wanted` entries: the newest are what callers ask for.
std::vector<History::Entry> History::loadNewest(std::size_t wanted) const {
  std::vector<Entry> newestFirst;
  const std::optional<QByteArray> data = file_io::readAll(path_, maxFileBytes).data;
  if (!data || wanted == 0) return newestFirst;
  const char* const begin = data->constData();
  const char* lineEnd = begin + data->size();
  while (lineEnd > begin && newestFirst.size() < wanted) {
    const char* lineStart = lineEnd;
    while (lineStart > begin && lineStart[-1] != '\n') --lineStart;
    if (lineStart != lineEnd) {
      if (auto entry = history_codec::decode(lineStart, lineEnd)) newestFirst.push_back(std::move(*entry));
    }
    lineEnd = lineStart == begin ? begin : lineStart - 1;
  }
  return newestFirst;
}

void History::trim() const {
  const std::size_t limit = std::size_t(cap_) + std::size_t(cap_ / 10);
  // Most appends stop here: there cannot be more readable entries than non-empty lines.
  const std::optional<QByteArray> data = file_io::readAll(path_, maxFileBytes).data;
  if (!data || nonEmptyLines(*data) <= limit) return;
  std::vector<Entry> newestFirst = loadNewest(limit + 1);
  if (newestFirst.size() <= limit) return;
  newestFirst.resize(std::size_t(cap_));
  QByteArray kept;
  for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
    if (auto line = history_codec::encode(*it)) {
      kept.append(*line);
      kept.append('\n');
    }
  }
  try {
    file_io::writeAtomically(path_, kept);
  } catch (const Error&) {
  }
}

}  // namespace talvo
