#include "storage/history.h"

#include "pipeline/errors.h"
#include "storage/app_paths.h"
#include "storage/append_to_file.h"
#include "storage/file_io.h"
#include "storage/history_codec.h"
#include "storage/lines_from_end.h"
#include "storage/log.h"

#include <QFile>

#include <algorithm>
#include <unistd.h>

namespace talvo {
namespace {

// An hour of dictation is a small fraction of this. A longer line is damage, skipped
// without being held in memory.
constexpr qsizetype maxLineBytes = 1 << 20;

// True when the file's last byte is not a line feed: a write was cut short. The next entry
// must then start on a line of its own, or it would be glued to the broken line and lost
// with it.
bool endsMidLine(const QString& path) {
  const std::optional<QByteArray> last = file_io::readTail(path, 1).data;
  return last && !last->isEmpty() && last->back() != '\n';
}

QByteArray encodeOldestFirst(const std::vector<History::Entry>& newestFirst) {
  QByteArray lines;
  std::for_each(newestFirst.rbegin(), newestFirst.rend(), [&lines](const History::Entry& entry) {
    if (auto line = history_codec::encode(entry)) {
      lines.append(*line);
      lines.append('\n');
    }
  });
  return lines;
}

}  // namespace

History::History(QString path, int cap) : path_(std::move(path)), cap_(std::max(cap, 0)) {}

QString History::defaultPath() { return AppPaths::support() + QStringLiteral("/history.jsonl"); }

void History::append(const Entry& entry) {
  std::lock_guard guard(lock_);
  std::optional<QByteArray> line = history_codec::encode(entry);
  if (!line) return;
  if (line->size() > maxLineBytes) {
    Log::info(
        QStringLiteral("history: a dictation of %1 bytes is too long to keep").arg(line->size()));
    return;
  }
  line->append('\n');
  if (!entries_) entries_ = loadNewest(limit() + 1).size();
  if (*entries_ > limit()) trim();
  // Still over: the file cannot be cut, and writing on would let it grow without limit.
  if (*entries_ > limit()) return;
  try {
    if (endsMidLine(path_)) line->prepend('\n');
    appendToFile(*line, path_, unboundedBytes);
  } catch (const Error& error) {
    reportFailure(QStringLiteral("history: could not keep a dictation: ") + error.message());
    return;
  }
  failing_ = false;
  ++*entries_;
  if (*entries_ > limit()) trim();
}

std::vector<History::Entry> History::recent(int n) const {
  std::lock_guard guard(lock_);
  return loadNewest(std::size_t(std::max(n, 0)));
}

void History::clear() {
  std::lock_guard guard(lock_);
  ::unlink(QFile::encodeName(path_).constData());
  entries_.reset();
}

// Lines are decoded one by one, so a damaged line (bad JSON, bad UTF-8, a NUL byte) costs
// only itself, never the entries around it.
std::vector<History::Entry> History::loadNewest(std::size_t wanted) const {
  std::vector<Entry> newestFirst;
  if (wanted == 0) return newestFirst;
  file_io::forEachLineFromEnd(path_, maxLineBytes, [&](const char* begin, const char* end) {
    if (auto entry = history_codec::decode(begin, end)) newestFirst.push_back(std::move(*entry));
    return newestFirst.size() < wanted;
  });
  return newestFirst;
}

void History::trim() {
  std::vector<Entry> newestFirst = loadNewest(limit() + 1);
  // Damaged lines were counted as entries: there is nothing to cut yet, and cutting to
  // `cap` would pad the file with empty entries.
  if (newestFirst.size() <= limit()) {
    entries_ = newestFirst.size();
    return;
  }
  newestFirst.resize(std::size_t(cap_));
  try {
    rewrite(encodeOldestFirst(newestFirst));
    entries_ = newestFirst.size();
  } catch (const Error& error) {
    reportFailure(
        QStringLiteral("history: could not trim %1; new dictations are not kept until it can be")
            .arg(error.message()));
  }
}

void History::rewrite(const QByteArray& kept) {
  try {
    file_io::writeAtomically(path_, kept);
  } catch (const Error& atomic) {
    // No temporary file beside it (a read-only folder): in place, the cap still holds and
    // new dictations are still kept.
    file_io::overwriteInPlace(path_, kept);
    if (!reportedInPlace_)
      Log::info(QStringLiteral("history: %1; trimmed it in place").arg(atomic.message()));
    reportedInPlace_ = true;
  }
}

void History::reportFailure(const QString& message) {
  if (!failing_) Log::info(message);
  failing_ = true;
}

}  // namespace talvo
