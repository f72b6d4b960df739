#include "shell/display_words.h"

#include <QRegularExpression>

#include <set>

namespace talvo {
namespace {

bool isPunctuation(QChar c) { return c.isPunct(); }

// Compares pieces as the recogniser's words: no surrounding punctuation, any case.
QString keyOf(const QString& word) {
  qsizetype begin = 0;
  qsizetype end = word.size();
  while (begin < end && isPunctuation(word[begin])) ++begin;
  while (end > begin && isPunctuation(word[end - 1])) --end;
  return word.mid(begin, end - begin).toLower();
}

}  // namespace

std::vector<SpokenWord> displayWords(const DictationRecord& record) {
  std::set<QString> doubted;
  for (const SpokenWord& word : record.words)
    if (word.unsure) doubted.insert(keyOf(word.text));

  static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));
  std::vector<SpokenWord> shown;
  for (const QString& piece : record.text.split(whiteSpace, Qt::SkipEmptyParts))
    shown.push_back(SpokenWord{piece, std::nullopt, doubted.contains(keyOf(piece))});
  return shown;
}

}  // namespace talvo
