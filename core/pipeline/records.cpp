#include "pipeline/records.h"

namespace talvo {

QString toString(FocusVerdict verdict) {
  switch (verdict) {
    case FocusVerdict::text: return QStringLiteral("text");
    case FocusVerdict::notText: return QStringLiteral("notText");
    case FocusVerdict::unknown: return QStringLiteral("unknown");
    case FocusVerdict::secureInput: return QStringLiteral("secureInput");
    case FocusVerdict::ownApp: return QStringLiteral("ownApp");
  }
  return {};
}

QString describe(const InsertOutcome& outcome) {
  struct Visitor {
    QString operator()(const insert_outcome::Pasted&) const { return QStringLiteral("pasted"); }
    QString operator()(const insert_outcome::CopiedNoPermission&) const {
      return QStringLiteral("copied");
    }
    QString operator()(const insert_outcome::HeldBack& h) const {
      return QStringLiteral("held back: ") + toString(h.verdict);
    }
  };
  return std::visit(Visitor{}, outcome);
}

QString storedForm(CleanupResult::Kind kind) {
  return kind == CleanupResult::Kind::ai ? QStringLiteral("ai") : QStringLiteral("rules");
}

std::optional<CleanupResult::Kind> cleanupKindFromStored(QStringView stored) {
  if (stored == u"ai") return CleanupResult::Kind::ai;
  if (stored == u"rules") return CleanupResult::Kind::rules;
  return std::nullopt;
}

QString storedForm(SpeechEngine engine) {
  return engine == SpeechEngine::server ? QStringLiteral("server") : QStringLiteral("pocketsphinx");
}

std::optional<SpeechEngine> speechEngineFromStored(QStringView stored) {
  if (stored == u"pocketsphinx") return SpeechEngine::recogniser;
  if (stored == u"server") return SpeechEngine::server;
  return std::nullopt;
}

QString toString(const DictationState& state) {
  using namespace dictation_state;
  struct Visitor {
    QString operator()(const Idle&) const { return QStringLiteral("idle"); }
    QString operator()(const Listening&) const { return QStringLiteral("listening"); }
    QString operator()(const Locked&) const { return QStringLiteral("locked"); }
    QString operator()(const Working&) const { return QStringLiteral("working"); }
    QString operator()(const Done& d) const {
      return QStringLiteral("done(%1)").arg(describe(d.outcome));
    }
    QString operator()(const Discarded& d) const {
      return QStringLiteral("discarded(%1)").arg(toString(d.reason));
    }
    QString operator()(const Failed& f) const {
      return QStringLiteral("failed(%1)").arg(f.message);
    }
  };
  return std::visit(Visitor{}, state);
}

int wordCount(QStringView text) {
  int count = 0;
  bool inWord = false;
  for (QChar c : text) {
    const bool space = c.isSpace();
    if (!space && !inWord) ++count;
    inWord = !space;
  }
  return count;
}

}  // namespace talvo
