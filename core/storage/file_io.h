#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// Small POSIX file helpers shared by the stores. Files they create are private to the
// user (mode 0600): they hold what the user said. Reads report failure in their result,
// because a missing or damaged file is an ordinary case; writes throw talvo::Error.
namespace talvo::file_io {

inline constexpr unsigned privateFileMode = 0600;
inline constexpr unsigned privateFolderMode = 0700;

// An open file descriptor, closed when it goes.
class Fd {
public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // The result of close(2): a failed close can mean lost data.
  int close();

private:
  int fd_;
};

// A regular file opened without blocking, or why not.
struct Opened {
  Fd fd;                 // invalid when the file was not opened
  int64_t size = 0;      // at the time of opening
  QString reason;        // why not, naming the file; empty when `fd` is valid
  bool missing = false;  // the file does not exist
};

// Opens `path` with open(2) `flags` (O_CREAT with mode 0600) and keeps it only when it is
// a regular file, symbolic links followed. O_NONBLOCK is added, so a FIFO never waits for
// its other end: FIFOs, devices and sockets are refused before a byte moves.
[[nodiscard]] Opened openRegular(const QString& path, int flags);

// Reads exactly `size` bytes at `offset` of an open file; false when it could not (errno
// then holds the reason, or 0 when the file ended first).
[[nodiscard]] bool readAt(int fd, char* into, int64_t size, int64_t offset);

// A file read whole, or why it was not.
struct ReadResult {
  std::optional<QByteArray> data;  // unset when the file was not read
  QString reason;                  // why not, naming the file; empty when `data` is set
  bool missing = false;            // the file does not exist, the usual first-run case
};

// The whole file, when it is a regular file (symbolic links are followed) of at most
// `maxBytes`. FIFOs, devices and sockets are refused without reading, so a hostile or
// mistaken path never blocks the caller or feeds it an endless stream.
[[nodiscard]] ReadResult readAll(const QString& path, int64_t maxBytes);

// The last `count` bytes of a regular file (all of a shorter one); the rest is not read.
[[nodiscard]] ReadResult readTail(const QString& path, int64_t count);

// Replaces the file as a whole: a temporary file in the same folder is written, flushed to
// disk and renamed over `path`, so readers see either the old or the new content. Throws
// talvo::Error with the reason when it could not.
void writeAtomically(const QString& path, const QByteArray& data);

// Writes `data` over the start of the existing regular file and cuts the file to its
// length. For when no temporary file can be made beside it (a read-only folder holding a
// writable file): a crash halfway leaves old and new lines mixed, so writeAtomically comes
// first. Throws talvo::Error with the reason.
void overwriteInPlace(const QString& path, const QByteArray& data);

// Appends `data` to the regular file at `path`, creating it, and returns its size before
// the write. Throws talvo::Error when the file is not a regular file or not every byte
// could be written.
int64_t appendBytes(const QString& path, const QByteArray& data);

// Creates `folder` (and missing parents). The folder itself gets `privateFolderMode`.
// Throws talvo::Error with the reason when it does not exist afterwards.
void makeFolder(const QString& folder);

}  // namespace talvo::file_io
