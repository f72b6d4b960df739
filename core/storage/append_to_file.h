#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <limits>

namespace talvo {

// The bound that never trims, for files that are kept short some other way.
inline constexpr int64_t unboundedBytes = std::numeric_limits<int64_t>::max();

// Appends `data` to the regular file at `path`, creating it (mode 0600) when missing. When
// the file was already larger than `maxBytes` before this write, it is cut back to its last
// maxBytes / 2 bytes, starting after the first line feed among them: only that tail is
// read, and it replaces the file atomically, or in place where the folder allows no
// temporary file, so the bound holds either way. Throws talvo::Error when the data could
// not be appended or the file could not be cut back.
void appendToFile(const QByteArray& data, const QString& path, int64_t maxBytes);

}  // namespace talvo
