#pragma once

#include "pipeline/contracts.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace talvo {

struct ReplayOptions {
  std::shared_ptr<Transcriber> transcriber;
  std::shared_ptr<Cleaner> cleaner;  // its switch already set from --no-ai
  bool useAI = true;                 // names the output file
  // Playback pacing; the command line always plays in real time. Tests go faster.
  double speed = 1.0;
  std::function<void(const QString&)> print;  // one report line, without line feed
};

// Plays every .wav clip of `directory` through a real dictation controller, prints latency
// and word error rates per clip and a summary, and writes the results beside the clips.
// Returns the path it wrote (or tried to write).
QCoro::Task<QString> replay(QString directory, ReplayOptions options);

}  // namespace talvo
