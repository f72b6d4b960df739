#include "replay/replay_report.h"
#include "replay/word_error_rate.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace talvo {
namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

QString confidenceText(const std::optional<double>& c) {
  return QString::asprintf("%.2f", c.value_or(-1.0));
}

}  // namespace

ClipResult makeClipResult(const QString& file, const DictationRecord& record, const QString& said,
                          const QString& want) {
  return ClipResult{file,
                    int64_t(record.sttMs),
                    int64_t(record.cleanupMs),
                    int64_t(record.totalMs),
                    storedForm(record.cleanup),
                    record.note,
                    wordErrorRate(said, record.raw),
                    wordErrorRate(want, record.text),
                    record.raw,
                    record.text,
                    want};
}

QStringList clipLines(const ClipResult& r, const DictationRecord& record, int partials,
                      std::optional<double> firstPartial) {
  std::optional<double> lowest;
  QStringList unsure, words;
  for (const SpokenWord& w : record.words) {
    if (w.confidence) lowest = std::min(lowest.value_or(*w.confidence), *w.confidence);
    if (w.unsure) unsure << w.text;
    words << w.text + "=" + confidenceText(w.confidence);
  }
  return {
      r.file.leftJustified(18) +
          QString::asprintf(" release->text %4dms (stt %4dms, cleanup %4dms ", int(r.totalMs),
                            int(r.sttMs), int(r.cleanupMs)) +
          r.cleanup + QString::asprintf(")  WER raw %.2f final %.2f", r.werRaw, r.werFinalVsWant),
      QString::asprintf("    live updates %d, first after %.2fs | lowest confidence %.2f | unsure: ",
                        partials, firstPartial.value_or(-1.0), lowest.value_or(-1.0)) +
          unsure.join(", "),
      QStringLiteral("    words: ") + words.join(' '),
  };
}

std::optional<QString> summaryLine(const std::vector<ClipResult>& results) {
  if (results.empty()) return std::nullopt;
  std::vector<int64_t> totals;
  for (const ClipResult& r : results) totals.push_back(r.totalMs);
  std::sort(totals.begin(), totals.end());
  return QStringLiteral("median release->text %1 ms, worst %2 ms, %3 clips")
      .arg(totals[totals.size() / 2])
      .arg(totals.back())
      .arg(totals.size());
}

QByteArray resultsJson(const std::vector<ClipResult>& results) {
  nlohmann::json array = nlohmann::json::array();
  for (const ClipResult& r : results) {
    array.push_back({{"file", utf8(r.file)},
                     {"stt_ms", r.sttMs},
                     {"cleanup_ms", r.cleanupMs},
                     {"total_ms", r.totalMs},
                     {"cleanup", utf8(r.cleanup)},
                     {"note", utf8(r.note)},
                     {"wer_raw", r.werRaw},
                     {"wer_final_vs_want", r.werFinalVsWant},
                     {"raw", utf8(r.raw)},
                     {"text", utf8(r.text)},
                     {"want", utf8(r.want)}});
  }
  // Replacement characters rather than an exception if a text holds broken UTF-8.
  const std::string text = array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  return QByteArray::fromStdString(text + "\n");
}

}  // namespace talvo
