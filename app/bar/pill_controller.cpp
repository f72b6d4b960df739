#include "bar/pill_controller.h"

#include "pipeline/audio_feeder.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace talvo {
namespace {

// The meter moves most of the way to each new reading, so speech looks lively without
// flickering; the square root lifts quiet speech into view.
constexpr double levelGain = 6;
constexpr double levelWeight = 0.45;

double meterTarget(double level) {
  if (!(level > 0)) return 0;  // also catches NaN
  return std::min(1.0, std::sqrt(levelGain * level));
}

}  // namespace

PillController::PillController(std::shared_ptr<PillModel> model,
                               std::shared_ptr<BarDesktop> desktop)
    : model_(std::move(model)), desktop_(std::move(desktop)) {
  meter_.setInterval(meterIntervalMs);
  connect(&meter_, &QTimer::timeout, this, &PillController::tickMeter);
  hideWork_.setSingleShot(true);
  connect(&hideWork_, &QTimer::timeout, this, &PillController::rest);
  QPointer<PillController> self(this);
  desktop_->setClickHandlers(
      [self] {
        if (self && self->onTap) self->onTap(self->phase());
      },
      [self] {
        if (self && self->onFix) self->onFix();
      });
}

void PillController::listen() {
  model_->setAppIcon(desktop_->activeAppIcon());
  model_->setWords({});
  model_->setLocked(false);
  model_->setCantHear(std::nullopt);
  model_->setLevel(0);
  anchor_ = atCursor ? desktop_->caret() : std::nullopt;
  hideWork_.stop();
  model_->setPhase(PillPhase::of(PillPhase::Kind::listening));
  startMeter();
  place();
}

void PillController::rest() {
  hideWork_.stop();
  anchor_.reset();
  model_->setLocked(false);
  model_->setPhase(
      PillPhase::of(mode == BarMode::always ? PillPhase::Kind::resting : PillPhase::Kind::hidden));
  stopMeter();
  place();
}

void PillController::flash(const PillPhase& phase, std::optional<double> seconds) {
  hideWork_.stop();
  model_->setPhase(phase);
  if (phase.is(PillPhase::Kind::listening))
    startMeter();
  else
    stopMeter();
  place();
  if (seconds) hideWork_.start(int(std::lround(std::max(0.0, *seconds) * 1000)));
}

void PillController::showWords(const std::vector<SpokenWord>& words) {
  model_->setWords(words);
  if (model_->phase().is(PillPhase::Kind::listening)) place();
}

void PillController::place() {
  const PillPhase& phase = model_->phase();
  if (phase.is(PillPhase::Kind::hidden)) {
    desktop_->hidePanel();
    return;
  }
  pill_geometry::Placement p;
  p.size = pill_geometry::size(phase, model_->words(), model_->cantHear().has_value());
  p.resting = phase.is(PillPhase::Kind::resting);
  p.anchor = anchor_;
  p.screens = desktop_->screens();
  if (!anchor_) p.pointer = desktop_->pointer();
  const auto frame = pill_geometry::frame(p);
  if (!frame) return;
  desktop_->showPanel(*frame, pill_geometry::ignoresMouse(phase));
}

void PillController::tickMeter() {
  model_->setLevel(levelWeight * meterTarget(levelSource()) + (1 - levelWeight) * model_->level());
  const auto [elapsed, peak] = healthSource();
  const bool cantHear = MicHealth::cantHear(elapsed, peak);
  if (cantHear && !model_->cantHear()) {
    model_->setCantHear(micName());
    place();
  } else if (!cantHear && model_->cantHear()) {
    model_->setCantHear(std::nullopt);
    place();
  }
}

void PillController::startMeter() {
  if (!meter_.isActive()) meter_.start();
}

void PillController::stopMeter() {
  meter_.stop();
  if (model_->cantHear()) model_->setCantHear(std::nullopt);
}

}  // namespace talvo
