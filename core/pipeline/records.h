#pragma once

#include "pipeline/abort_reason.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <variant>
#include <vector>

namespace talvo {

// What had the keyboard focus when the text was about to be inserted.
enum class FocusVerdict { text, notText, unknown, secureInput, ownApp };

QString toString(FocusVerdict verdict);

namespace insert_outcome {
struct Pasted {
  bool operator==(const Pasted&) const = default;
};
struct CopiedNoPermission {
  bool operator==(const CopiedNoPermission&) const = default;
};
struct HeldBack {
  FocusVerdict verdict = FocusVerdict::unknown;
  bool operator==(const HeldBack&) const = default;
};
}  // namespace insert_outcome

using InsertOutcome = std::variant<insert_outcome::Pasted, insert_outcome::CopiedNoPermission,
                                   insert_outcome::HeldBack>;

// "pasted", "copied" or "held back: <verdict>"; history entries and the log use it.
QString describe(const InsertOutcome& outcome);

struct CleanupResult {
  enum class Kind { ai, rules };

  QString text;
  Kind kind = Kind::rules;
  QString note;  // why the language model's answer was not used; empty when it was

  bool operator==(const CleanupResult&) const = default;
};

QString storedForm(CleanupResult::Kind kind);
std::optional<CleanupResult::Kind> cleanupKindFromStored(QStringView stored);

// Which engine produced a dictation's raw transcript.
enum class SpeechEngine { recogniser, server };

// "pocketsphinx" or "server"; history entries and replay results carry it.
QString storedForm(SpeechEngine engine);
std::optional<SpeechEngine> speechEngineFromStored(QStringView stored);

struct SpokenWord {
  QString text;
  std::optional<double> confidence;
  bool unsure = false;

  bool operator==(const SpokenWord&) const = default;
};

struct DictationRecord {
  QString raw;
  QString text;
  CleanupResult::Kind cleanup = CleanupResult::Kind::rules;
  QString note;
  double seconds = 0;
  double sttMs = 0;
  double cleanupMs = 0;
  double totalMs = 0;
  InsertOutcome outcome;
  std::vector<SpokenWord> words;
  SpeechEngine engine = SpeechEngine::recogniser;

  bool operator==(const DictationRecord&) const = default;
};

namespace dictation_state {
struct Idle {
  bool operator==(const Idle&) const = default;
};
struct Listening {
  bool operator==(const Listening&) const = default;
};
struct Locked {
  bool operator==(const Locked&) const = default;
};
struct Working {
  bool operator==(const Working&) const = default;
};
struct Done {
  InsertOutcome outcome;
  bool operator==(const Done&) const = default;
};
struct Discarded {
  AbortReason reason = AbortReason::cancelled;
  bool operator==(const Discarded&) const = default;
};
struct Failed {
  QString message;
  bool operator==(const Failed&) const = default;
};
}  // namespace dictation_state

using DictationState =
    std::variant<dictation_state::Idle, dictation_state::Listening, dictation_state::Locked,
                 dictation_state::Working, dictation_state::Done, dictation_state::Discarded,
                 dictation_state::Failed>;

// For logs and test failure messages, e.g. "done(pasted)" or "failed(Didn't catch that.)".
QString toString(const DictationState& state);

// Runs of non-white-space characters; line breaks count as white space.
int wordCount(QStringView text);

}  // namespace talvo
