#include "speech/spoken_words.h"

#include <QSet>

#include <atomic>

namespace talvo::speech {
namespace {

constexpr double defaultUnsureBelow = 0.55;
// Common words are only doubtful when the recogniser is this unsure of them.
constexpr double commonUnsureBelow = 0.15;

std::atomic<double> threshold{defaultUnsureBelow};

const QSet<QString>& commonWords() {
  static const QSet<QString> words = [] {
    const char* list[] = {
        "a",    "an",    "the",  "and",   "or",    "but",    "so",   "no",    "yes",  "not",
        "is",   "are",   "was",  "were",  "be",    "to",     "of",   "in",    "on",   "at",
        "for",  "with",  "it",   "its",   "it's",  "i",      "i'm",  "we",    "you",  "he",
        "she",  "they",  "my",   "your",  "our",   "this",   "that", "there", "here", "what",
        "when", "where", "how",  "why",   "who",   "do",     "does", "did",   "have", "has",
        "had",  "can",   "will", "would", "could", "should", "just", "like",  "um",   "uh",
        "new",  "way",   "now",  "then",  "if",    "as",     "up",   "out",   "all",  "me",
        "him",  "her",   "them", "us",    "oh",    "okay",   "ok",   "yeah",  "wait", "get",
        "got",  "go",    "going"};
    QSet<QString> set;
    for (const char* w : list) set.insert(QString::fromLatin1(w));
    return set;
  }();
  return words;
}

bool isPunctuation(QChar c) { return c.isPunct(); }

}  // namespace

double unsureBelow() { return threshold.load(std::memory_order_relaxed); }

void setUnsureBelow(double value) { threshold.store(value, std::memory_order_relaxed); }

SpokenWord spokenWord(QString text, std::optional<double> confidence) {
  const bool unsure = confidence.value_or(1.0) < unsureBelow();
  return SpokenWord{std::move(text), confidence, unsure};
}

std::vector<SpokenWord> wordsFrom(const std::vector<TextPiece>& pieces) {
  std::vector<SpokenWord> words;
  QString current;
  std::optional<double> confidence;
  auto finishWord = [&] {
    if (!current.isEmpty()) words.push_back(spokenWord(current, confidence));
    current.clear();
    confidence.reset();
  };
  for (const TextPiece& piece : pieces) {
    for (QChar c : piece.text) {
      if (c.isSpace()) {
        finishWord();
        continue;
      }
      current.append(c);
      if (piece.confidence)
        confidence = confidence ? std::min(*confidence, *piece.confidence) : *piece.confidence;
    }
  }
  finishWord();
  return words;
}

QString commonKey(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isPunctuation(text[begin])) ++begin;
  while (end > begin && isPunctuation(text[end - 1])) --end;
  return text.mid(begin, end - begin).toLower();
}

bool isCommonWord(const QString& key) { return commonWords().contains(key); }

std::vector<SpokenWord> flag(std::vector<SpokenWord> words) {
  const std::size_t n = words.size();
  for (std::size_t i = 0; i < n; ++i) {
    SpokenWord& w = words[i];
    if (!w.confidence || i == n - 1) {
      w.unsure = false;
      continue;
    }
    const double c = *w.confidence;
    const bool common = isCommonWord(commonKey(w.text));
    if (i == 0)
      w.unsure = !common && c < unsureBelow();
    else
      w.unsure = common ? c < commonUnsureBelow : c < unsureBelow();
  }
  return words;
}

}  // namespace talvo::speech
