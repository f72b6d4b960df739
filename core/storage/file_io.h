#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Small POSIX file helpers shared by the stores. Files they create are private to the
// user (mode 0600): they hold what the user said.
namespace talvo::file_io {

inline constexpr unsigned privateFileMode = 0600;
inline constexpr unsigned privateFolderMode = 0700;

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> readAll(const QString& path);

// Replaces the file as a whole: a temporary file in the same folder is written, flushed to
// disk and renamed over `path`, so readers see either the old or the new content. Returns
// an empty string on success, otherwise the reason.
QString writeAtomically(const QString& path, const QByteArray& data);

// Creates `folder` (and missing parents). The folder itself gets `privateFolderMode`.
bool makeFolder(const QString& folder);

}  // namespace talvo::file_io
