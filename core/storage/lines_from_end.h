#pragma once

#include <QString>

#include <functional>

namespace talvo::file_io {

// Hands each line of the regular file at `path` to `take`, the last line first, until
// `take` returns false. A line is the bytes between two line feeds; empty lines and lines
// longer than `maxLineBytes` are skipped. The file is read backwards in chunks, so callers
// that want the newest lines read only those, and memory stays within one chunk plus
// `maxLineBytes` whatever the file holds. A file that is missing, not a regular file or
// unreadable has no lines.
void forEachLineFromEnd(const QString& path, qsizetype maxLineBytes,
                        const std::function<bool(const char* begin, const char* end)>& take);

}  // namespace talvo::file_io
