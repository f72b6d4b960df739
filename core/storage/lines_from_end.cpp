#include "storage/lines_from_end.h"

#include "storage/file_io.h"

#include <QByteArray>

#include <cstring>
#include <fcntl.h>

namespace talvo::file_io {
namespace {

constexpr int64_t chunkBytes = int64_t{64} * 1024;

// Collects the line being read, which arrives back to front, one chunk at a time.
class LineBuilder {
public:
  LineBuilder(qsizetype maxLineBytes, const std::function<bool(const char*, const char*)>& take)
      : maxLineBytes_(maxLineBytes), take_(take) {}

  // Bytes of the current line that come before those seen so far.
  void prepend(const char* begin, const char* end) {
    if (tooLong_) return;
    if (partial_.size() + (end - begin) > maxLineBytes_) {
      tooLong_ = true;
      partial_.clear();
      return;
    }
    partial_.prepend(begin, end - begin);
  }

  // The current line ends with [begin, end) prepended; false once the caller has enough.
  bool finish(const char* begin, const char* end) {
    bool more = true;
    if (partial_.isEmpty() && !tooLong_) {
      if (begin != end && end - begin <= maxLineBytes_) more = take_(begin, end);
    } else {
      prepend(begin, end);
      if (!tooLong_) more = take_(partial_.cbegin(), partial_.cend());
    }
    partial_.clear();
    tooLong_ = false;
    return more;
  }

private:
  const qsizetype maxLineBytes_;
  const std::function<bool(const char*, const char*)>& take_;
  QByteArray partial_;
  bool tooLong_ = false;
};

}  // namespace

void forEachLineFromEnd(const QString& path, qsizetype maxLineBytes,
                        const std::function<bool(const char*, const char*)>& take) {
  const Opened opened = openRegular(path, O_RDONLY);
  if (!opened.fd.valid()) return;
  LineBuilder line(maxLineBytes, take);
  QByteArray chunk(qsizetype(chunkBytes), Qt::Uninitialized);
  for (int64_t position = opened.size; position > 0;) {
    const int64_t size = std::min(chunkBytes, position);
    position -= size;
    if (!readAt(opened.fd.get(), chunk.data(), size, position)) return;
    const char* const begin = chunk.constData();
    const char* end = begin + size;
    while (const void* found = ::memrchr(begin, '\n', std::size_t(end - begin))) {
      const char* lineFeed = static_cast<const char*>(found);
      if (!line.finish(lineFeed + 1, end)) return;
      end = lineFeed;
    }
    line.prepend(begin, end);
  }
  line.finish(nullptr, nullptr);
}

}  // namespace talvo::file_io
