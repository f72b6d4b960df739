#pragma once

#include "pipeline/records.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// How recogniser output becomes the words users see, with the doubtful ones marked.
// Nothing here knows which recogniser produced the text.
namespace talvo::speech {

// Confidence below which a word is a candidate for being shown as doubtful. Process-wide,
// 0.55 unless changed; safe to read and set from any thread.
double unsureBelow();
void setUnsureBelow(double value);

// A word as first built: unsure when its confidence (1.0 when absent) is below unsureBelow.
SpokenWord spokenWord(QString text, std::optional<double> confidence);

// A run of recogniser text sharing one confidence (absent when the recogniser gave none).
struct TextPiece {
  QString text;
  std::optional<double> confidence;
};

// Splits runs into words at white space. A word spanning runs keeps the lowest
// confidence among them.
std::vector<SpokenWord> wordsFrom(const std::vector<TextPiece>& pieces);

// Recomputes `unsure` from confidence and position: the last word is never doubtful, and
// common words only when their confidence is very low (never as the first word).
std::vector<SpokenWord> flag(std::vector<SpokenWord> words);

// Whether a lower-cased, punctuation-trimmed word is one of the common words.
bool isCommonWord(const QString& key);

// The key a word is looked up by: lower-cased, punctuation trimmed from both ends.
QString commonKey(const QString& text);

}  // namespace talvo::speech
