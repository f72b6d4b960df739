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

QString rateText(const std::optional<double>& rate) {
  return rate ? QString::asprintf("%.2f", *rate) : QStringLiteral("n/a");
}

std::optional<double> rateAgainst(const SideText& reference, const QString& hypothesis) {
  if (reference.unreadable) return std::nullopt;
  return wordErrorRate(reference.text, hypothesis);
}

nlohmann::json rateJson(const std::optional<double>& rate) {
  return rate ? nlohmann::json(*rate) : nlohmann::json(nullptr);
}

}  // namespace

ClipResult makeClipResult(const QString& file, const DictationRecord& record, const SideText& said,
                          const SideText& want) {
  ClipResult result{file,
                    int64_t(record.sttMs),
                    int64_t(record.cleanupMs),
                    int64_t(record.totalMs),
                    storedForm(record.cleanup),
                    record.note,
                    storedForm(record.engine),
                    rateAgainst(said, record.raw),
                    rateAgainst(want, record.text),
                    record.raw,
                    record.text,
                    want.text,
                    {}};
  for (const SideText* side : {&said, &want})
    if (side->unreadable) result.unreadable << *side->unreadable;
  return result;
}

QStringList clipLines(const ClipResult& r, const DictationRecord& record, int partials,
                      std::optional<double> firstPartial) {
  std::optional<double> lowest;
  QStringList unsure;
  QStringList words;
  for (const SpokenWord& w : record.words) {
    if (w.confidence) lowest = std::min(lowest.value_or(*w.confidence), *w.confidence);
    if (w.unsure) unsure << w.text;
    words << w.text + "=" + confidenceText(w.confidence);
  }
  QString first = r.file.leftJustified(18) +
                  QString::asprintf(" release->text %4dms (stt %4dms, cleanup %4dms ",
                                    int(r.totalMs), int(r.sttMs), int(r.cleanupMs)) +
                  r.cleanup + ", " + r.engine + ")  WER raw " + rateText(r.werRaw) + " final " +
                  rateText(r.werFinalVsWant);
  if (!r.unreadable.isEmpty()) first += "  (" + r.unreadable.join("; ") + ")";
  return {
      first,
      QString::asprintf(
          "    live updates %d, first after %.2fs | lowest confidence %.2f | unsure: ", partials,
          firstPartial.value_or(-1.0), lowest.value_or(-1.0)) +
          unsure.join(", "),
      QStringLiteral("    words: ") + words.join(' '),
  };
}

std::optional<QString> summaryLine(const std::vector<ClipResult>& results) {
  if (results.empty()) return std::nullopt;
  std::vector<int64_t> totals;
  totals.reserve(results.size());
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
                     {"engine", utf8(r.engine)},
                     {"wer_raw", rateJson(r.werRaw)},
                     {"wer_final_vs_want", rateJson(r.werFinalVsWant)},
                     {"raw", utf8(r.raw)},
                     {"text", utf8(r.text)},
                     {"want", utf8(r.want)}});
  }
  // Replacement characters rather than an exception if a text holds broken UTF-8.
  const std::string text = array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  return QByteArray::fromStdString(text + "\n");
}

QString printableLine(const QString& line) {
  QString out;
  out.reserve(line.size());
  for (QChar c : line) {
    const auto kind = c.category();
    if (kind == QChar::Other_Control || kind == QChar::Separator_Line ||
        kind == QChar::Separator_Paragraph)
      out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

}  // namespace talvo
