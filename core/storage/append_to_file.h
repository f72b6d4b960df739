#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <limits>

namespace talvo {

// The bound that never trims, for files that are kept short some other way.
inline constexpr int64_t unboundedBytes = std::numeric_limits<int64_t>::max();

// Appends `data` to the file at `path`, creating it (mode 0600) when missing. When the file
// was already larger than `maxBytes` before this write, it is cut back to its last
// maxBytes / 2 bytes, starting after the first line feed among them, and replaced
// atomically. Failures are ignored: callers write diagnostics and history, which must
// never stop the program.
void appendToFile(const QByteArray& data, const QString& path, int64_t maxBytes);

}  // namespace talvo
