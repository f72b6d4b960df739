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

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

const QString notRegular = QStringLiteral("not a regular file");

QString tooLarge(int64_t maxBytes) { return QStringLiteral("larger than %1 bytes").arg(maxBytes); }

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

ReadResult readFailure(QString why, bool missing = false) {
  return ReadResult{std::nullopt, std::move(why), missing};
}

// Opened for writing, or talvo::Error.
Fd openForWriting(const QString& path, int flags) {
  Opened opened = openRegular(path, flags);
  if (!opened.fd.valid()) throw Error(QStringLiteral("could not write ") + opened.reason);
  return std::move(opened.fd);
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int Fd::close() {
  int result = 0;
  if (fd_ >= 0) result = ::close(fd_);
  fd_ = -1;
  return result;
}

bool readAt(int fd, char* into, int64_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, into, std::size_t(size), off_t(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = 0;
      return false;
    }
    into += got;
    size -= got;
    offset += got;
  }
  return true;
}

Opened openRegular(const QString& path, int flags) {
  Opened opened;
  auto failed = [&](const QString& why) {
    opened.fd.close();
    opened.reason = path + QStringLiteral(": ") + why;
    return std::move(opened);
  };
  const QByteArray name = QFile::encodeName(path);
  // Opening a device can itself act (a watchdog, a tape drive), so it is never opened.
  struct stat info {};
  if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) return failed(notRegular);
  opened.fd =
      Fd(::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, privateFileMode));
  if (!opened.fd.valid()) {
    const int error = errno;
    opened.missing = error == ENOENT;
    // What a FIFO without a reader gives a non-blocking writer.
    return failed(error == ENXIO ? notRegular : reason(error));
  }
  // The path may have been replaced since the stat above.
  if (::fstat(opened.fd.get(), &info) != 0) return failed(reason(errno));
  if (!S_ISREG(info.st_mode)) return failed(notRegular);
  opened.size = info.st_size;
  return opened;
}

ReadResult readAll(const QString& path, int64_t maxBytes) {
  Opened opened = openRegular(path, O_RDONLY);
  if (!opened.fd.valid()) return readFailure(opened.reason, opened.missing);
  if (opened.size > maxBytes) return readFailure(path + ": " + tooLarge(maxBytes));
  QByteArray data;
  data.reserve(qsizetype(opened.size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(opened.fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return readFailure(path + ": " + reason(errno));
    }
    if (got == 0) break;
    // The file may grow while it is read.
    if (data.size() + got > maxBytes) return readFailure(path + ": " + tooLarge(maxBytes));
    data.append(chunk, got);
  }
  return ReadResult{std::move(data), {}};
}

ReadResult readTail(const QString& path, int64_t count) {
  Opened opened = openRegular(path, O_RDONLY);
  if (!opened.fd.valid()) return readFailure(opened.reason, opened.missing);
  const int64_t size = std::min(std::max<int64_t>(count, 0), opened.size);
  QByteArray data(qsizetype(size), Qt::Uninitialized);
  if (!readAt(opened.fd.get(), data.data(), data.size(), opened.size - size))
    return readFailure(path + ": " + (errno ? reason(errno) : QStringLiteral("shrank while read")));
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

void overwriteInPlace(const QString& path, const QByteArray& data) {
  Fd fd = openForWriting(path, O_WRONLY);
  auto failure = [&] {
    return Error(QStringLiteral("could not write %1: %2").arg(path, reason(errno)));
  };
  if (::lseek(fd.get(), 0, SEEK_SET) != 0 || !writeFully(fd.get(), data.constData(), data.size()) ||
      ::ftruncate(fd.get(), off_t(data.size())) != 0 || ::fsync(fd.get()) != 0 || fd.close() != 0)
    throw failure();
}

int64_t appendBytes(const QString& path, const QByteArray& data) {
  Fd fd = openForWriting(path, O_WRONLY | O_CREAT | O_APPEND);
  off_t previous = ::lseek(fd.get(), 0, SEEK_END);
  if (previous < 0) previous = 0;
  if (!writeFully(fd.get(), data.constData(), data.size()) || fd.close() != 0)
    throw Error(QStringLiteral("could not write %1: %2").arg(path, reason(errno)));
  return previous;
}

void makeFolder(const QString& folder) {
  const QString absolute = QDir(folder).absolutePath();
  const QString parent = QFileInfo(absolute).absolutePath();
  if (!QDir().mkpath(parent)) throw Error(QStringLiteral("could not create %1").arg(parent));
  if (::mkdir(QFile::encodeName(absolute).constData(), privateFolderMode) == 0) return;
  const int error = errno;
  if (error == EEXIST && QFileInfo(absolute).isDir()) return;
  throw Error(QStringLiteral("could not create %1: %2").arg(absolute, reason(error)));
}

}  // namespace talvo::file_io
