#pragma once

#include "dictionary/user_dictionary.h"
#include "hotkey/hotkey_event.h"
#include "pipeline/audio_feeder.h"
#include "pipeline/contracts.h"
#include "pipeline/records.h"
#include "storage/history.h"

#include <QFuture>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace talvo {

// Turns hotkey events into whole dictations: capture from the press, a recognition session
// opened in the background while audio is already buffered, a verdict at release, then
// transcription, dictionary fixes, cleanup and insertion, strictly in press order. Lives on
// the main thread; reports through the on* callbacks. Create with `create`, because the
// tasks it starts hold it weakly and drop their results once it is gone.
class DictationController : public std::enable_shared_from_this<DictationController> {
public:
  using Clock = std::chrono::steady_clock;
  using DictionaryProvider = std::function<UserDictionary()>;

  struct Parts {
    std::shared_ptr<AudioSource> audio;
    std::shared_ptr<Transcriber> transcriber;
    std::shared_ptr<Cleaner> cleaner;
    std::shared_ptr<Inserter> inserter;
    std::shared_ptr<History> history;  // none in the replay harness
    DictionaryProvider dictionary;
  };

  static std::shared_ptr<DictationController> create(Parts parts);

  // The only entry point for dictation control. Never throws.
  void handle(const HotkeyEvent& event);

  std::function<void(const DictationState&)> onState;
  std::function<void(const DictationRecord&)> onRecord;
  std::function<void(const std::vector<SpokenWord>&)> onPartial;

  double minSeconds = 0.25;    // shorter takes are discarded as taps
  double silenceRMS = 0.0005;  // quieter takes fail as silence

  const std::optional<QString>& lastText() const { return lastText_; }
  const std::optional<Clock::time_point>& listeningSince() const { return listeningSince_; }
  bool listening() const { return starting_.has_value(); }
  double level() const { return listening() ? feeder_->level() : 0.0; }
  double peakLevel() const { return listening() ? feeder_->peak() : 0.0; }

private:
  using SessionHandle = QFuture<std::shared_ptr<TranscriptionSession>>;

  explicit DictationController(Parts parts);

  void begin();
  void stop(std::optional<AbortReason> reason);
  void discard(SessionHandle starting, AbortReason reason);
  void failSilence(SessionHandle starting, double rms);
  void accept(SessionHandle starting, double seconds, Clock::time_point release);
  void report(const DictationState& state);
  Transcriber::PartialHandler partialForwarder(int64_t generation);

  static QCoro::Task<std::shared_ptr<TranscriptionSession>> startSession(
      std::weak_ptr<DictationController> weak, std::shared_ptr<Transcriber> transcriber,
      std::shared_ptr<AudioFeeder> feeder, std::shared_ptr<AudioFeeder::Take> take,
      QStringList terms, AudioFormat format, Transcriber::PartialHandler forward);
  // Fills the record's transcription and cleanup fields; insertion adds the rest.
  static QCoro::Task<std::optional<DictationRecord>> transcribeAndClean(
      SessionHandle starting, std::shared_ptr<Cleaner> cleaner, Clock::time_point release,
      UserDictionary dictionary);
  static QCoro::Task<> insert(std::optional<QFuture<void>> previous,
                              QFuture<std::optional<DictationRecord>> transcript,
                              std::weak_ptr<DictationController> weak, double seconds,
                              Clock::time_point release);
  static QCoro::Task<> cancelSession(SessionHandle starting);

  void finishInsert(DictationRecord record, Clock::time_point release);

  Parts parts_;
  std::shared_ptr<AudioFeeder> feeder_ = std::make_shared<AudioFeeder>();
  std::optional<QString> lastText_;
  std::optional<Clock::time_point> listeningSince_;
  int64_t generation_ = 0;
  std::optional<SessionHandle> starting_;
  std::optional<QFuture<void>> insertChain_;
};

}  // namespace talvo
