#include "speech/transcript_collector.h"

namespace talvo::speech {
namespace {

bool isHorizontalSpace(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

QString trimHorizontal(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isHorizontalSpace(text[begin])) ++begin;
  while (end > begin && isHorizontalSpace(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

QStringList biasTerms(QStringList terms) {
  if (terms.size() > maxBiasTerms) terms.resize(maxBiasTerms);
  return terms;
}

QString joinFinalTexts(const QStringList& finals) {
  QStringList kept;
  for (const QString& text : finals) {
    QString trimmed = trimHorizontal(text);
    if (!trimmed.isEmpty()) kept.append(std::move(trimmed));
  }
  return kept.join(u' ');
}

std::vector<SpokenWord> TranscriptCollector::addVolatile(const std::vector<TextPiece>& pieces) {
  std::vector<SpokenWord> live = committed_;
  for (SpokenWord& w : wordsFrom(pieces)) live.push_back(std::move(w));
  return flag(std::move(live));
}

std::vector<SpokenWord> TranscriptCollector::addFinal(const std::vector<TextPiece>& pieces) {
  QString text;
  for (const TextPiece& piece : pieces) text += piece.text;
  finals_.append(text);
  for (SpokenWord& w : wordsFrom(pieces)) committed_.push_back(std::move(w));
  return flag(committed_);
}

}  // namespace talvo::speech
