#pragma once

#include "pipeline/records.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace talvo {

// A reference text from beside a clip (.said or .want).
struct SideText {
  QString text;                       // empty when there is no such file
  std::optional<QString> unreadable;  // why a file that is there could not be read
  bool operator==(const SideText&) const = default;
};

// What one clip that produced a record contributes to the results file.
struct ClipResult {
  QString file;
  int64_t sttMs = 0;
  int64_t cleanupMs = 0;
  int64_t totalMs = 0;
  QString cleanup;
  QString note;
  QString engine;                        // which engine heard it: "pocketsphinx" or "server"
  std::optional<double> werRaw;          // unset when the .said file could not be read
  std::optional<double> werFinalVsWant;  // unset when the .want file could not be read
  QString raw;
  QString text;
  QString want;
  QStringList unreadable;  // the side files that could not be read, and why

  bool operator==(const ClipResult&) const = default;
};

ClipResult makeClipResult(const QString& file, const DictationRecord& record, const SideText& said,
                          const SideText& want);

// The three lines printed for a clip with a record.
QStringList clipLines(const ClipResult& result, const DictationRecord& record, int partials,
                      std::optional<double> firstPartial);

// "median release->text … ms, worst … ms, N clips", or nothing without results.
std::optional<QString> summaryLine(const std::vector<ClipResult>& results);

// The results as a pretty-printed JSON array with sorted keys; a rate that could not be
// computed is null.
QByteArray resultsJson(const std::vector<ClipResult>& results);

// The line with control characters (line breaks above all) written as \uXXXX, so that
// a file name cannot start a report line of its own.
QString printableLine(const QString& line);

}  // namespace talvo
