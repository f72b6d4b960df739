#include "replay/word_error_rate.h"

#include "pipeline/words.h"

#include <algorithm>
#include <vector>

namespace talvo {

double wordErrorRate(const QString& reference, const QString& hypothesis) {
  const QStringList r = normalizedWords(reference);
  const QStringList h = normalizedWords(hypothesis);
  if (r.isEmpty()) return h.isEmpty() ? 0.0 : 1.0;

  std::vector<int> row(h.size() + 1);
  for (std::size_t j = 0; j < row.size(); ++j) row[j] = int(j);
  for (qsizetype i = 0; i < r.size(); ++i) {
    int diagonal = row[0];
    row[0] = int(i + 1);
    for (qsizetype j = 0; j < h.size(); ++j) {
      const int substitute = diagonal + (r[i] == h[j] ? 0 : 1);
      diagonal = row[j + 1];
      row[j + 1] = std::min({substitute, row[j] + 1, diagonal + 1});
    }
  }
  return double(row.back()) / double(r.size());
}

}  // namespace talvo
