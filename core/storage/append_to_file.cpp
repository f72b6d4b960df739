#include "storage/append_to_file.h"

#include "pipeline/errors.h"
#include "storage/file_io.h"

namespace talvo {
namespace {

void cutToTail(const QString& path, int64_t keepBytes) {
  const file_io::ReadResult tail = file_io::readTail(path, keepBytes);
  if (!tail.data) throw Error(QStringLiteral("could not shorten ") + tail.reason);
  QByteArray kept = *tail.data;
  const qsizetype lineFeed = kept.indexOf('\n');
  if (lineFeed >= 0) kept.remove(0, lineFeed + 1);
  try {
    file_io::writeAtomically(path, kept);
  } catch (const Error&) {
    // No temporary file beside it (a read-only folder): shortening in place still keeps
    // the bound, where giving up would let the file grow on every line.
    file_io::overwriteInPlace(path, kept);
  }
}

}  // namespace

void appendToFile(const QByteArray& data, const QString& path, int64_t maxBytes) {
  const int64_t previous = file_io::appendBytes(path, data);
  if (previous > maxBytes) cutToTail(path, maxBytes / 2);
}

}  // namespace talvo
