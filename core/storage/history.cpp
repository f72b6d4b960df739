#include "storage/history.h"

#include "storage/app_paths.h"
#include "storage/append_to_file.h"
#include "storage/file_io.h"
#include "storage/history_codec.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace talvo {
namespace {

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
  std::vector<Entry> entries = load();
  const std::size_t count = std::min(entries.size(), std::size_t(std::max(n, 0)));
  std::vector<Entry> newest(std::make_move_iterator(entries.end() - std::ptrdiff_t(count)),
                            std::make_move_iterator(entries.end()));
  std::reverse(newest.begin(), newest.end());
  return newest;
}

void History::clear() {
  std::lock_guard guard(lock_);
  ::unlink(QFile::encodeName(path_).constData());
}

// Lines are decoded one by one, so a damaged line (bad JSON, bad UTF-8, a NUL byte) costs
// only itself, never the entries around it.
std::vector<History::Entry> History::load() const {
  std::vector<Entry> entries;
  const std::optional<QByteArray> data = file_io::readAll(path_);
  if (!data) return entries;
  const char* cursor = data->constData();
  const char* const end = cursor + data->size();
  while (cursor < end) {
    const char* lineEnd = std::find(cursor, end, '\n');
    if (lineEnd != cursor) {
      if (auto entry = history_codec::decode(cursor, lineEnd)) entries.push_back(std::move(*entry));
    }
    cursor = lineEnd == end ? end : lineEnd + 1;
  }
  return entries;
}

void History::trim() const {
  const std::vector<Entry> entries = load();
  const std::size_t limit = std::size_t(cap_) + std::size_t(cap_ / 10);
  if (entries.size() <= limit) return;
  QByteArray kept;
  for (auto it = entries.end() - cap_; it != entries.end(); ++it) {
    if (auto line = history_codec::encode(*it)) {
      kept.append(*line);
      kept.append('\n');
    }
  }
  file_io::writeAtomically(path_, kept);
}

}  // namespace talvo
