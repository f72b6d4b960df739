#pragma once

#include "pipeline/audio_buffer.h"
#include "pipeline/records.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The interfaces the dictation controller drives. Asynchronous operations are QCoro
// tasks that resume their caller on the main thread; operations that may fail throw a
// talvo::Error (DictationError for the program's own failures). Coroutine parameters
// are taken by value so that they outlive the caller's frame.

namespace talvo {

class AudioSource {
public:
  using BufferHandler = std::function<void(const AudioBuffer&)>;

  virtual ~AudioSource() = default;

  // The format of the buffers that will be delivered.
  virtual AudioFormat format() const = 0;
  // Called for every captured buffer on the capture thread. The buffer may be reused once
  // the handler returns. Set before start().
  virtual void setOnBuffer(BufferHandler handler) = 0;
  virtual void prepare() = 0;
  // Throws when capture cannot start; then no buffer is delivered.
  virtual void start() = 0;
  // Safe when not started.
  virtual void stop() = 0;
};

class TranscriptionSession {
public:
  virtual ~TranscriptionSession() = default;

  // Called on the capture thread, under the feeder's lock: must not block.
  virtual void append(const AudioBuffer& buffer) = 0;
  // No more audio; the final transcript, possibly empty. Throws on failure.
  virtual QCoro::Task<QString> finish() = 0;
  virtual QCoro::Task<> cancel() = 0;
  // The final, flagged words; empty until finish() has returned. Any thread.
  virtual std::vector<SpokenWord> recognizedWords() const = 0;
  // Which engine the text finish() returned came from.
  virtual SpeechEngine engine() const { return SpeechEngine::recogniser; }
};

class Transcriber {
public:
  // Live words; may be called on any thread.
  using PartialHandler = std::function<void(std::vector<SpokenWord>)>;

  virtual ~Transcriber() = default;

  // Warm up for audio of this format. Never fails; problems are logged.
  virtual QCoro::Task<> prepare(AudioFormat format) = 0;
  // One recognition session favouring `terms`. Throws on failure.
  virtual QCoro::Task<std::shared_ptr<TranscriptionSession>> begin(QStringList terms,
                                                                   AudioFormat format,
                                                                   PartialHandler onPartial) = 0;
};

// Whether the language-model pass can run, with the status line users see.
enum class AIStatus { ready, turnedOff, notEligible, downloading, disabledByUser, unknown };

QString toString(AIStatus status);
QString label(AIStatus status);
bool fixableInSettings(AIStatus status);

class Cleaner {
public:
  virtual ~Cleaner() = default;

  virtual AIStatus status() const = 0;
  // A cleanup with these terms is likely soon. Never fails.
  virtual void prewarm(QStringList terms) = 0;
  // Never fails: falling back to rule-based cleanup is the cleaner's own business.
  virtual QCoro::Task<CleanupResult> clean(QString text, QStringList terms) = 0;
};

class Inserter {
public:
  virtual ~Inserter() = default;
  // Main thread; synchronous.
  virtual InsertOutcome insert(const QString& text) = 0;
};

class FocusProbe {
public:
  virtual ~FocusProbe() = default;
  virtual FocusVerdict verdict() = 0;
};

}  // namespace talvo
