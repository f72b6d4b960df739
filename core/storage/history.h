#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace talvo {

// Every finished dictation, one JSON object per line in an append-only file. Entries are
// not cached: reads parse the file from its end, only as far as they need. An append
// writes one line and, once the file may hold more than cap + cap / 10 readable entries,
// trims it to the newest `cap`. Failures never reach the caller; they are logged once
// until writing works again.
// Safe from any thread; one lock covers every operation, file work included.
class History {
public:
  struct Entry {
    double ts = 0;  // seconds since 1970 UTC
    QString text;
    QString raw;
    QString cleanup;
    double seconds = 0;
    QString outcome;
    // Which engine heard it ("pocketsphinx" or "server"); entries written before there
    // was a choice read as the recogniser.
    QString engine = QStringLiteral("pocketsphinx");
    bool operator==(const Entry&) const = default;
  };

  // Touches no file.
  History(QString path, int cap);

  // Adds the entry at the end of the file and trims it when it has grown too long. An
  // entry whose numbers are not finite, or too long to read back, is not stored. When the
  // file is over its bound and cannot be trimmed, the entry is not stored either, so the
  // file never grows without limit.
  void append(const Entry& entry);
  // The newest `n` readable entries, newest first. A negative `n` counts as 0.
  std::vector<Entry> recent(int n) const;
  // Deletes the file; the next append starts a new one.
  void clear();

  int cap() const { return cap_; }
  QString path() const { return path_; }

  // history.jsonl in the support folder.
  static QString defaultPath();

private:
  std::size_t limit() const { return std::size_t(cap_) + std::size_t(cap_ / 10); }
  // The newest `wanted` readable entries, newest first.
  std::vector<Entry> loadNewest(std::size_t wanted) const;
  // Cuts the file to the newest `cap` entries when it holds more than `limit()`; leaves
  // `entries_` above the limit when it could not.
  void trim();
  // Replaces the file's contents; throws talvo::Error when it could not.
  void rewrite(const QByteArray& kept);
  // Logs `message` unless a failure is already reported.
  void reportFailure(const QString& message);

  const QString path_;
  const int cap_;
  mutable std::mutex lock_;
  // How many readable entries the file may hold: learned from the file at the first append,
  // then counted, so appends need not read the file. Never below the truth for our own
  // writes, so a trim is never late; unknown again after clear().
  std::optional<std::size_t> entries_;
  // A write failure has been logged; quiet until a write succeeds.
  bool failing_ = false;
  // The fallback to rewriting in place has been logged.
  bool reportedInPlace_ = false;
};

}  // namespace talvo
