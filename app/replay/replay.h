#pragma once

#include "pipeline/contracts.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace talvo {

struct ReplayOptions {
  std::shared_ptr<Transcriber> transcriber;
  std::shared_ptr<Cleaner> cleaner;  // its switch already set from --no-ai
  bool useAI = true;                 // names the output file
  // Playback pacing; the command line always plays in real time. Tests go faster.
  double speed = 1.0;
  std::function<void(const QString&)> print;  // one report line, without line feed
  // A local speech server's transcription address (empty: none) and model. When set,
  // the run waits for its first probe, so that the first clip already uses it.
  QString speechEndpoint{};
  QString speechModel{};
};

// How a run went, for the exit status.
struct ReplayOutcome {
  int played = 0;                  // clips that went through a dictation controller
  std::optional<QString> failure;  // why the run does not count as a success
  bool operator==(const ReplayOutcome&) const = default;
};

// Plays every .wav clip of `directory` through a real dictation controller, prints latency
// and word error rates per clip and a summary, and writes the results beside the clips
// (private to the user: they hold what was said). A clip that cannot be played gets a line
// saying why. Fails when the folder cannot be listed, the results cannot be written, or no
// clip could be played.
[[nodiscard]] QCoro::Task<ReplayOutcome> replay(QString directory, ReplayOptions options);

}  // namespace talvo
