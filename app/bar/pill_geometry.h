#pragma once

#include "bar/pill_phase.h"
#include "pipeline/records.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

// Sizes and placement of the bar, in top-left screen coordinates (y grows downwards).
namespace talvo::pill_geometry {

// The capsule is drawn this far inside the panel on every side.
inline constexpr double margin = 10;
inline constexpr double panelHeight = 60;
inline constexpr double restingWidth = 56;
inline constexpr double restingHeight = 18;
// Gap between the work area's bottom and the resting or caret-less bar.
inline constexpr double bottomGap = 12;
// The caption shows at most this many of the newest words.
inline constexpr int captionWords = 14;

QSizeF size(const PillPhase& phase, const std::vector<SpokenWord>& words, bool cantHear);

// The panel ignores the mouse unless a click there means something.
bool ignoresMouse(const PillPhase& phase);

struct ScreenArea {
  QRectF frame;
  QRectF workArea;
  bool operator==(const ScreenArea&) const = default;
};

struct Placement {
  QSizeF size;
  bool resting = false;
  std::optional<QRectF> anchor;     // the text cursor, when following it
  std::vector<ScreenArea> screens;  // the primary screen first
  std::optional<QPointF> pointer;
};

// The panel's frame, or none when the anchor is on no screen (the panel then stays put).
std::optional<QRectF> frame(const Placement& p);

}  // namespace talvo::pill_geometry
