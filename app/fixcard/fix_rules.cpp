#include "fixcard/fix_rules.h"

namespace talvo::fix_rules {

QString trimPunctuation(const QString& word) {
  qsizetype begin = 0;
  qsizetype end = word.size();
  while (begin < end && word.at(begin).isPunct()) ++begin;
  while (end > begin && word.at(end - 1).isPunct()) --end;
  return word.mid(begin, end - begin);
}

std::optional<Fix> fixFor(const QString& pickedWord, const QString& spelling) {
  Fix fix{trimPunctuation(pickedWord), spelling.trimmed()};
  if (fix.meant.isEmpty() || fix.meant == fix.heard) return std::nullopt;
  return fix;
}

QString savedText(const Fix& fix) {
  return QStringLiteral("Saved. From now on \"%1\" becomes \"%2\".").arg(fix.heard, fix.meant);
}

}  // namespace talvo::fix_rules
