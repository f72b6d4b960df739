#pragma once

#include "speech/spoken_words.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace talvo::speech {

// At most this many dictionary terms bias one recognition session; later ones are left
// to the dictionary's own corrections.
constexpr qsizetype maxBiasTerms = 100;

// The first maxBiasTerms terms.
QStringList biasTerms(QStringList terms);

// The final transcript: each final text trimmed of spaces and tabs at both ends (line
// breaks stay), empty ones dropped, the rest joined by single spaces.
QString joinFinalTexts(const QStringList& finals);

// Merges a session's results. Volatile results are the running guess for the words after
// the committed ones and are replaced by the next result; final results are committed.
// Not thread-safe: one session's worker owns it.
class TranscriptCollector {
public:
  // The live word list to show: committed words followed by this guess, flagged.
  std::vector<SpokenWord> addVolatile(const std::vector<TextPiece>& pieces);
  // Commits a final result; returns the live word list (committed words only), flagged.
  std::vector<SpokenWord> addFinal(const std::vector<TextPiece>& pieces);

  QString transcript() const { return joinFinalTexts(finals_); }
  std::vector<SpokenWord> finalWords() const { return flag(committed_); }

private:
  std::vector<SpokenWord> committed_;
  QStringList finals_;
};

}  // namespace talvo::speech
