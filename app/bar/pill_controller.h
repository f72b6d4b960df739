#pragma once

#include "bar/bar_desktop.h"
#include "bar/pill_model.h"
#include "storage/bar_mode.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace talvo {

// Decides what the floating bar shows, where, and for how long. Main thread only.
class PillController final : public QObject {
  Q_OBJECT

public:
  // The input meter's refresh period, 30 times a second.
  static constexpr int meterIntervalMs = 33;

  PillController(std::shared_ptr<PillModel> model, std::shared_ptr<BarDesktop> desktop);

  const std::shared_ptr<PillModel>& model() const { return model_; }
  const PillPhase& phase() const { return model_->phase(); }

  void listen();
  void rest();
  // Shows `phase` at once; with `seconds`, returns to rest that long after unless something
  // else is shown first.
  void flash(const PillPhase& phase, std::optional<double> seconds = std::nullopt);
  void showWords(const std::vector<SpokenWord>& words);
  // Re-sizes and re-positions the panel for the current phase.
  void place();

  // One step of the meter; the timer calls it while listening.
  void tickMeter();
  bool meterRunning() const { return meter_.isActive(); }
  bool restPending() const { return hideWork_.isActive(); }

  BarMode mode = BarMode::whileDictating;
  bool atCursor = true;
  std::function<double()> levelSource = [] { return 0.0; };
  // Seconds since listening began, and the loudest level so far.
  std::function<std::pair<double, double>()> healthSource = [] {
    return std::pair<double, double>(0, 0);
  };
  std::function<QString()> micName = [] { return QStringLiteral("your mic"); };
  std::function<void(const PillPhase&)> onTap;
  std::function<void()> onFix;

private:
  void startMeter();
  void stopMeter();

  std::shared_ptr<PillModel> model_;
  std::shared_ptr<BarDesktop> desktop_;
  QTimer meter_;
  QTimer hideWork_;
  std::optional<QRectF> anchor_;
};

}  // namespace talvo
