#include "storage/file_io.h"

#include "pipeline/errors.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::file_io {
namespace {

class Fd {
public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int close() {
    int result = 0;
    if (fd_ >= 0) result = ::close(fd_);
    fd_ = -1;
    return result;
  }

private:
  int fd_;
};

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool writeFully(int fd, const char* data, qsizetype size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, std::size_t(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// After a rename the new directory entry is only durable once the folder is synced too.
void syncFolder(const QString& folder) {
  Fd dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

ReadResult readAll(const QString& path, int64_t maxBytes) {
  auto failed = [&](const QString& why) { return ReadResult{std::nullopt, path + ": " + why}; };
  const QByteArray name = QFile::encodeName(path);
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  Fd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) {
    const int error = errno;
    ReadResult result = failed(reason(error));
    result.missing = error == ENOENT;
    return result;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return failed(reason(errno));
  if (!S_ISREG(info.st_mode)) return failed(QStringLiteral("not a regular file"));
  if (info.st_size > maxBytes)
    return failed(QStringLiteral("larger than %1 bytes").arg(maxBytes));
  QByteArray data;
  data.reserve(qsizetype(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(reason(errno));
    }
    if (got == 0) break;
    // The file may grow while it is read.
    if (data.size() + got > maxBytes) return failed(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    data.append(chunk, got);
  }
  return ReadResult{std::move(data), {}};
}

void writeAtomically(const QString& path, const QByteArray& data) {
  const QFileInfo info(path);
  const QString folder = info.absolutePath();
  QByteArray tempName = QFile::encodeName(folder + "/." + info.fileName() + ".XXXXXX");
  auto failure = [&](int error) {
    return Error(QStringLiteral("could not write %1: %2").arg(path, reason(error)));
  };
  // mkstemp creates the file with mode 0600.
  Fd fd(::mkostemp(tempName.data(), O_CLOEXEC));
  if (!fd.valid()) throw failure(errno);
  auto fail = [&](int error) {
    fd.close();
    ::unlink(tempName.constData());
    throw failure(error);
  };
  if (!writeFully(fd.get(), data.constData(), data.size())) fail(errno);
  if (::fsync(fd.get()) != 0) fail(errno);
  if (fd.close() != 0) fail(errno);
  if (::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) fail(errno);
  syncFolder(folder);
}

bool makeFolder(const QString& folder) {
  const QString absolute = QDir(folder).absolutePath();
  QDir parent = QFileInfo(absolute).dir();
  if (!parent.exists() && !QDir().mkpath(parent.absolutePath())) return false;
  if (::mkdir(QFile::encodeName(absolute).constData(), privateFolderMode) == 0) return true;
  return errno == EEXIST && QFileInfo(absolute).isDir();
}

}  // namespace talvo::file_io
