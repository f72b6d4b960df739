#pragma once

#include "bar/pill_model.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace talvo {

// Draws the bar's model: the resting dash, or the capsule with the receiving application's
// icon, the words or a message, the level meter or the activity spinner, and in the done
// phase a "Fix a word" button.
class PillView final : public QWidget {
public:
  // The spinner's frame period while working.
  static constexpr int spinnerIntervalMs = 50;

  explicit PillView(std::shared_ptr<PillModel> model, QWidget* parent = nullptr);

  // Opaque where no compositor blends the window with what is behind it.
  void setTranslucent(bool on);
  void setOnTap(std::function<void()> f) { onTap_ = std::move(f); }
  void setOnFix(std::function<void()> f) { onFix_ = std::move(f); }

  // Where the "Fix a word" button sits, in the view's coordinates; empty outside done.
  QRectF fixButtonRect() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  QRectF capsule() const;
  void paintResting(QPainter& painter);
  void paintCapsule(QPainter& painter);
  void paintLeading(QPainter& painter, const QRectF& box);
  void paintCentre(QPainter& painter, const QRectF& room);
  void paintMeter(QPainter& painter, const QRectF& strip);
  void paintSpinner(QPainter& painter, const QRectF& box);
  void paintFixButton(QPainter& painter);
  static QString spokenName(const PillPhase& phase);
  void modelChanged();
  void levelChanged();
  QRectF meterStrip() const;
  double meterLength(double width) const;

  std::shared_ptr<PillModel> model_;
  bool translucent_ = true;
  QTimer spinner_;
  int spinnerStep_ = 0;
  double drawnMeter_ = -1;  // device pixels of the meter last painted
  std::function<void()> onTap_;
  std::function<void()> onFix_;
};

}  // namespace talvo
