#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace talvo {

// The user's own vocabulary: words to keep spelled their way, and fixes from what the
// recogniser keeps writing to what the user meant. A plain value; each holder has a copy.
struct UserDictionary {
  struct Fix {
    QString heard;
    QString meant;
    bool operator==(const Fix&) const = default;
  };

  QStringList words;
  std::vector<Fix> fixes;

  // Words, then the meant side of every fix, trimmed, without blanks or repeats ignoring
  // case. Recognition and the AI cleanup favour these.
  QStringList terms() const;

  // Replaces every heard phrase with its meant phrase, and every word in any case with its
  // stored spelling. Longer phrases go first, so a phrase wins over a shorter one inside it.
  // A phrase matches only between non-letters, non-digits; a space in it matches any run of
  // white space.
  QString apply(const QString& text) const;
  // The second pass, over the cleaned text of a transcript that `apply` has already seen.
  // It restores the stored spellings, and applies a fix only where its heard phrase stands
  // outside an occurrence of the fix's own meant phrase: there the cleanup brought the
  // heard phrase back, while inside it the fix has acted already and would double
  // ("world" -> "world peace"). The result is what gets pasted: it holds no control
  // characters but the line feeds and tabs that were in `cleaned`.
  QString applyAfterCleanup(const QString& cleaned) const;

  // Does nothing when the word is already there in any case.
  void addWord(const QString& word);
  // Replaces any fix with the same heard phrase in any case; the new one goes last.
  void addFix(const QString& heard, const QString& meant);

  // A missing, damaged or unreadable file reads as an empty dictionary. A damaged one is
  // first copied aside (next to it, ending ".damaged", then ".damaged-2" and on for
  // different damage) so that the next save does not destroy it. Only regular files of a
  // sane size are read: a FIFO or device there never blocks the caller.
  static UserDictionary load(const QString& path);
  // Pretty-printed JSON with sorted keys, replaced atomically. Throws talvo::Error.
  void save(const QString& path) const;
  // dictionary.json in the support folder.
  static QString defaultPath();

  bool operator==(const UserDictionary&) const = default;
};

}  // namespace talvo
