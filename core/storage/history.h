#pragma once

#include <QString>

#include <mutex>
#include <vector>

namespace talvo {

// Every finished dictation, one JSON object per line in an append-only file. Nothing is
// cached: each read parses the file again, which stays short because appends trim it.
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
    bool operator==(const Entry&) const = default;
  };

  // Touches no file.
  History(QString path, int cap);

  // Adds the entry at the end of the file; once the file holds more than cap + cap / 10
  // readable entries it is rewritten with the newest `cap`. Never throws; an entry whose
  // numbers are not finite is not stored.
  void append(const Entry& entry);
  // The newest `n` entries, newest first. A negative `n` counts as 0.
  std::vector<Entry> recent(int n) const;
  // Deletes the file; the next append starts a new one.
  void clear();

  int cap() const { return cap_; }
  QString path() const { return path_; }

  // history.jsonl in the support folder.
  static QString defaultPath();

private:
  // The newest `wanted` readable entries, newest first.
  std::vector<Entry> loadNewest(std::size_t wanted) const;
  void trim() const;

  const QString path_;
  const int cap_;
  mutable std::mutex lock_;
};

}  // namespace talvo
