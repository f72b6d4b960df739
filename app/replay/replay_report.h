#pragma once

#include "pipeline/records.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace talvo {

// What one clip that produced a record contributes to the results file.
struct ClipResult {
  QString file;
  int64_t sttMs = 0;
  int64_t cleanupMs = 0;
  int64_t totalMs = 0;
  QString cleanup;
  QString note;
  double werRaw = 0;
  double werFinalVsWant = 0;
  QString raw;
  QString text;
  QString want;

  bool operator==(const ClipResult&) const = default;
};

ClipResult makeClipResult(const QString& file, const DictationRecord& record, const QString& said,
                          const QString& want);

// The three lines printed for a clip with a record.
QStringList clipLines(const ClipResult& result, const DictationRecord& record, int partials,
                      std::optional<double> firstPartial);

// "median release->text … ms, worst … ms, N clips", or nothing without results.
std::optional<QString> summaryLine(const std::vector<ClipResult>& results);

// The results as a pretty-printed JSON array with sorted keys.
QByteArray resultsJson(const std::vector<ClipResult>& results);

}  // namespace talvo
