#include "render/app_icon_view.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace talvo {
namespace {

constexpr double bodySize = 824;
constexpr double bodyRadius = 185;
constexpr double borderWidth = 4;
constexpr double borderOpacity = 0.1;
constexpr double topGrey = 0.2;
constexpr double bottomGrey = 0.07;
constexpr double shadowOpacity = 0.35;
constexpr double shadowBlur = 18;
constexpr double shadowDrop = 10;
constexpr double barWidth = 46;
constexpr double barSpacing = 34;
constexpr double barScale = 420;

// A rounded square whose corners ease into the sides (a superellipse-like curve), closer
// to a continuous corner than circular arcs.
QPainterPath squircle(const QRectF& r, double radius) {
  constexpr double ease = 1.28;  // how far the curve starts before the arc would
  const double e = std::min(radius * ease, r.width() / 2);
  constexpr double k = 0.64;  // control-point pull toward the corner
  QPainterPath p;
  p.moveTo(r.left() + e, r.top());
  p.lineTo(r.right() - e, r.top());
  p.cubicTo(r.right() - e * (1 - k), r.top(), r.right(), r.top() + e * (1 - k), r.right(),
            r.top() + e);
  p.lineTo(r.right(), r.bottom() - e);
  p.cubicTo(r.right(), r.bottom() - e * (1 - k), r.right() - e * (1 - k), r.bottom(), r.right() - e,
            r.bottom());
  p.lineTo(r.left() + e, r.bottom());
  p.cubicTo(r.left() + e * (1 - k), r.bottom(), r.left(), r.bottom() - e * (1 - k), r.left(),
            r.bottom() - e);
  p.lineTo(r.left(), r.top() + e);
  p.cubicTo(r.left(), r.top() + e * (1 - k), r.left() + e * (1 - k), r.top(), r.left() + e,
            r.top());
  p.closeSubpath();
  return p;
}

// Three box blurs approximate a Gaussian of the given radius, on the alpha channel.
QImage blurred(QImage image, double radius) {
  const int box = std::max(1, int(std::lround(radius / 1.5)));
  const int w = image.width();
  const int h = image.height();
  std::vector<int> line(std::size_t(std::max(w, h)));
  auto pass = [&](bool horizontal) {
    const int lines = horizontal ? h : w;
    const int len = horizontal ? w : h;
    for (int l = 0; l < lines; ++l) {
      auto px = [&](int i) -> QRgb& {
        return reinterpret_cast<QRgb*>(image.scanLine(horizontal ? l : i))[horizontal ? i : l];
      };
      for (int i = 0; i < len; ++i) line[std::size_t(i)] = qAlpha(px(i));
      int sum = 0;
      for (int i = -box; i <= box; ++i) sum += line[std::size_t(std::clamp(i, 0, len - 1))];
      for (int i = 0; i < len; ++i) {
        px(i) = qRgba(0, 0, 0, sum / (2 * box + 1));
        sum += line[std::size_t(std::min(i + box + 1, len - 1))] -
               line[std::size_t(std::max(i - box, 0))];
      }
    }
  };
  for (int i = 0; i < 3; ++i) {
    pass(true);
    pass(false);
  }
  return image;
}

}  // namespace

const std::vector<double> AppIconView::iconBars{0.3, 0.56, 0.92, 0.62, 1.0, 0.46, 0.26};

AppIconView::AppIconView(std::vector<double> bars) : bars_(std::move(bars)) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void AppIconView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = std::min(width(), height()) / double(canvas);
  p.translate((width() - canvas * s) / 2, (height() - canvas * s) / 2);
  p.scale(s, s);
  const QRectF body((canvas - bodySize) / 2, (canvas - bodySize) / 2, bodySize, bodySize);
  const QPainterPath shape = squircle(body, bodyRadius);

  QImage shadow(canvas, canvas, QImage::Format_ARGB32);
  shadow.fill(Qt::transparent);
  {
    QPainter sp(&shadow);
    sp.setRenderHint(QPainter::Antialiasing);
    sp.fillPath(shape.translated(0, shadowDrop), QColor(0, 0, 0));
  }
  p.setOpacity(shadowOpacity);
  p.drawImage(QPointF(0, 0), blurred(shadow, shadowBlur));
  p.setOpacity(1);

  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  fill.setColorAt(0, QColor::fromRgbF(float(topGrey), float(topGrey), float(topGrey)));
  fill.setColorAt(1, QColor::fromRgbF(float(bottomGrey), float(bottomGrey), float(bottomGrey)));
  p.fillPath(shape, fill);
  // The border sits inside the body: stroke twice as wide, clipped to the shape.
  p.save();
  p.setClipPath(shape);
  p.strokePath(shape, QPen(QColor::fromRgbF(1, 1, 1, float(borderOpacity)), 2 * borderWidth));
  p.restore();

  const double total = double(bars_.size()) * barWidth +
                       double(std::max<std::size_t>(bars_.size(), 1) - 1) * barSpacing;
  double x = (canvas - total) / 2;
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  for (double bar : bars_) {
    const double h = barScale * std::clamp(bar, 0.0, 1.0);
    p.drawRoundedRect(QRectF(x, (canvas - h) / 2, barWidth, h), barWidth / 2, barWidth / 2);
    x += barWidth + barSpacing;
  }
}

}  // namespace talvo
