#pragma once

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace talvo::test {

// A FIFO the test holds open at both ends, so that code which wrongly opens it fails a check
// instead of blocking.
struct HeldFifo {
  explicit HeldFifo(const QString& path)
      : fd(::mkfifo(QFile::encodeName(path), 0600)
               ? -1
               : ::open(QFile::encodeName(path), O_RDWR | O_NONBLOCK)) {}
  HeldFifo(const HeldFifo&) = delete;  // one owner closes the descriptor
  HeldFifo& operator=(const HeldFifo&) = delete;
  ~HeldFifo() { ::close(fd); }
  const int fd;
};

// What a user or a mistake may leave where a regular file belongs. A FIFO stays held while
// the result of makeSpecial lives.
enum class Special { fifo, linkToFifo, linkToDevice };
inline std::unique_ptr<HeldFifo> makeSpecial(Special kind, const QString& path) {
  const QString target = kind == Special::fifo ? path : path + ".target";
  auto fifo = kind == Special::linkToDevice ? nullptr : std::make_unique<HeldFifo>(target);
  if (target != path) QFile::link(fifo ? target : "/dev/null", path);
  return fifo;
}

}  // namespace talvo::test
