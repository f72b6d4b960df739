#include "bar/pill_geometry.h"

#include <algorithm>

namespace talvo::pill_geometry {
namespace {

constexpr double charWidth = 7.2;
constexpr double messageExtra = 80;
constexpr double messageMax = 460;
constexpr double cantHearBase = 364;
constexpr double wordsBase = 60;
constexpr double wordCharWidth = 7.6;
constexpr double doneExtra = 86;  // the "Fix a word" button
constexpr double minCapsule = 200;
constexpr double minWidth = 220;
constexpr double maxCapsule = 480;
constexpr double caretGapX = 20;
constexpr double caretGapY = 2;
constexpr double sideGap = 4;

double wordsWidth(const std::vector<SpokenWord>& words) {
  const std::size_t first = words.size() > captionWords ? words.size() - captionWords : 0;
  double n = 0;
  for (std::size_t i = first; i < words.size(); ++i) n += double(words[i].text.size()) + 1;
  return wordsBase + wordCharWidth * std::max(double(captionWords), n);
}

// Zero-width carets still count as touching the screen they sit on.
bool touches(const QRectF& a, const QRectF& b) {
  return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
         b.top() <= a.bottom();
}

std::optional<ScreenArea> chooseScreen(const Placement& p) {
  if (p.screens.empty()) return std::nullopt;
  if (p.anchor) {
    for (const ScreenArea& s : p.screens)
      if (touches(s.frame, *p.anchor)) return s;
    return std::nullopt;
  }
  if (p.pointer)
    for (const ScreenArea& s : p.screens)
      if (s.frame.contains(*p.pointer)) return s;
  return p.screens.front();
}

}  // namespace

QSizeF size(const PillPhase& phase, const std::vector<SpokenWord>& words, bool cantHear) {
  using K = PillPhase::Kind;
  switch (phase.kind) {
    case K::hidden: return {0, 0};
    case K::resting: return {restingWidth, restingHeight};
    case K::message:
      return {
          std::min(double(phase.text.size()) * charWidth + messageExtra, messageMax) + 2 * margin,
          panelHeight};
    case K::listening:
    case K::working:
    case K::done: break;
  }
  const double base = cantHear ? cantHearBase : wordsWidth(words);
  const double b = base + (phase.is(K::done) ? doneExtra : 0);
  return {b < minCapsule ? minWidth : std::min(b, maxCapsule) + 2 * margin, panelHeight};
}

bool ignoresMouse(const PillPhase& phase) {
  using K = PillPhase::Kind;
  switch (phase.kind) {
    case K::resting:
    case K::listening:
    case K::done: return false;
    case K::message: return !phase.clickable;
    case K::hidden:
    case K::working: return true;
  }
  return true;
}

std::optional<QRectF> frame(const Placement& p) {
  const auto screen = chooseScreen(p);
  if (!screen) return std::nullopt;
  const QRectF& vf = screen->workArea;
  const double w = p.size.width();
  const double h = p.size.height();
  double x = 0;
  double y = 0;
  if (!p.anchor || p.resting) {
    x = vf.center().x() - w / 2;
    y = vf.bottom() - bottomGap - h;
  } else {
    x = p.anchor->left() - caretGapX;
    y = p.anchor->bottom() + caretGapY;
    if (y + h > vf.bottom()) y = p.anchor->top() - caretGapY - h;
  }
  x = std::min(std::max(x, vf.left() + sideGap), vf.right() - w - sideGap);
  y = std::min(std::max(y, vf.top()), vf.bottom() - h);
  return QRectF(x, y, w, h);
}

}  // namespace talvo::pill_geometry
