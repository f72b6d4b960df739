#include "storage/append_to_file.h"

#include "storage/file_io.h"
#include "pipeline/errors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace talvo {
namespace {

// Returns the file's size before the write, or -1 when nothing could be opened.
int64_t appendBytes(const QByteArray& data, const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                        file_io::privateFileMode);
  if (fd < 0) return -1;
  off_t previous = ::lseek(fd, 0, SEEK_END);
  if (previous < 0) previous = 0;
  const char* bytes = data.constData();
  qsizetype left = data.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, bytes, std::size_t(left));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    bytes += written;
    left -= written;
  }
  ::close(fd);
  return previous;
}

}  // namespace

void appendToFile(const QByteArray& data, const QString& path, int64_t maxBytes) {
  const int64_t previous = appendBytes(data, path);
  if (previous < 0 || previous <= maxBytes) return;
  const std::optional<QByteArray> whole = file_io::readAll(path, maxBytes * 4).data;
  if (!whole) return;
  const qsizetype keep = qsizetype(std::min<int64_t>(maxBytes / 2, whole->size()));
  QByteArray tail = whole->right(keep);
  const qsizetype lineFeed = tail.indexOf('\n');
  if (lineFeed >= 0) tail.remove(0, lineFeed + 1);
  try {
    file_io::writeAtomically(path, tail);
  } catch (const Error&) {
  }
}

}  // namespace talvo
