#pragma once

#include <QString>

#include <optional>

// What the fix-a-word card saves: plain rules, kept apart from the widgets.
namespace talvo::fix_rules {

// The word as it goes in the field and the dictionary: punctuation trimmed from both ends.
QString trimPunctuation(const QString& word);

struct Fix {
  QString heard;
  QString meant;
  bool operator==(const Fix&) const = default;
};

// The fix that saving would store, or none when there is nothing to save: an empty
// spelling, or exactly the word already heard. A change of letter case alone is a fix.
std::optional<Fix> fixFor(const QString& pickedWord, const QString& spelling);

// The confirmation shown after a save.
QString savedText(const Fix& fix);

}  // namespace talvo::fix_rules
