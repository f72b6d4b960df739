#pragma once

#include "bar/pill_phase.h"
#include "pipeline/records.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace talvo {

// What the bar's view draws. Every write announces `changed` (the level its own signal),
// and the view redraws.
class PillModel final : public QObject {
  Q_OBJECT

public:
  const PillPhase& phase() const { return phase_; }
  void setPhase(const PillPhase& v) { set(phase_, v); }
  const std::vector<SpokenWord>& words() const { return words_; }
  void setWords(const std::vector<SpokenWord>& v) { set(words_, v); }
  double level() const { return level_; }  // 0 to 1
  // Thirty times a second while listening, so it has a signal of its own: the view then
  // redraws only the meter.
  void setLevel(double v) {
    level_ = v;
    emit levelChanged();
  }
  bool locked() const { return locked_; }
  void setLocked(bool v) { set(locked_, v); }
  // The microphone's name while it seems to hear nothing.
  const std::optional<QString>& cantHear() const { return cantHear_; }
  void setCantHear(const std::optional<QString>& v) { set(cantHear_, v); }
  // The icon of the application that will receive the text.
  const std::optional<QImage>& appIcon() const { return appIcon_; }
  void setAppIcon(const std::optional<QImage>& v) { set(appIcon_, v); }
  bool showWords() const { return showWords_; }
  void setShowWords(bool v) { set(showWords_, v); }

signals:
  void changed();
  void levelChanged();

private:
  template <typename T>
  void set(T& field, const T& value) {
    field = value;
    emit changed();
  }

  PillPhase phase_;
  std::vector<SpokenWord> words_;
  double level_ = 0;
  bool locked_ = false;
  std::optional<QString> cantHear_;
  std::optional<QImage> appIcon_;
  bool showWords_ = true;
};

}  // namespace talvo
