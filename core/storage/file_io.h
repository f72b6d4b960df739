#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// Small POSIX file helpers shared by the stores. Files they create are private to the
// user (mode 0600): they hold what the user said.
namespace talvo::file_io {

inline constexpr unsigned privateFileMode = 0600;
inline constexpr unsigned privateFolderMode = 0700;

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

// Replaces the file as a whole: a temporary file in the same folder is written, flushed to
// disk and renamed over `path`, so readers see either the old or the new content. Throws
// talvo::Error with the reason when it could not.
void writeAtomically(const QString& path, const QByteArray& data);

// Creates `folder` (and missing parents). The folder itself gets `privateFolderMode`.
[[nodiscard]] bool makeFolder(const QString& folder);

}  // namespace talvo::file_io
