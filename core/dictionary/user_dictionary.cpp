#include "dictionary/user_dictionary.h"

#include "dictionary/text_shape.h"
#include "storage/app_paths.h"

#include <QSet>

#include <algorithm>

namespace talvo {

QStringList UserDictionary::terms() const {
  QStringList candidates = words;
  for (const Fix& fix : fixes) candidates << fix.meant;
  QStringList kept;
  QSet<QString> seen;
  for (const QString& candidate : candidates) {
    const QString term = trimHorizontal(candidate).toString();
    if (term.isEmpty()) continue;
    const QString folded = term.toLower();
    if (seen.contains(folded)) continue;
    seen.insert(folded);
    kept << term;
  }
  return kept;
}

void UserDictionary::addWord(const QString& word) {
  const bool known = std::any_of(words.begin(), words.end(), [&](const QString& stored) {
    return stored.compare(word, Qt::CaseInsensitive) == 0;
  });
  if (!known) words << word;
}

void UserDictionary::addFix(const QString& heard, const QString& meant) {
  std::erase_if(fixes,
                [&](const Fix& fix) { return fix.heard.compare(heard, Qt::CaseInsensitive) == 0; });
  fixes.push_back(Fix{heard, meant});
}

QString UserDictionary::defaultPath() {
  return AppPaths::support() + QStringLiteral("/dictionary.json");
}

}  // namespace talvo
