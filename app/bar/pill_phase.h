#pragma once

#include <QString>

namespace talvo {

// What the bar shows. Only a message carries data: its text, its icon's symbol name and
// whether a click on it means something.
struct PillPhase {
  enum class Kind { message, hidden, resting, listening, working, done };

  Kind kind = Kind::hidden;
  QString text;
  QString icon;
  bool clickable = false;

  static PillPhase of(Kind kind) { return PillPhase{kind, {}, {}, false}; }
  static PillPhase message(QString text, QString icon, bool clickable) {
    return PillPhase{Kind::message, std::move(text), std::move(icon), clickable};
  }

  bool is(Kind k) const { return kind == k; }
  bool operator==(const PillPhase&) const = default;
};

}  // namespace talvo
