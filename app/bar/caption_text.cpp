#include "bar/caption_text.h"

#include "bar/pill_geometry.h"
#include "widgets/look.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

namespace talvo {
namespace {

constexpr double captionPoints = 14;
constexpr double fadedOpacity = 0.55;
constexpr double underlineGap = 2;

}  // namespace

void CaptionText::paint(QPainter& painter, const QRectF& room, const QColor& colour) const {
  const std::size_t newest =
      words.size() > pill_geometry::captionWords ? words.size() - pill_geometry::captionWords : 0;
  const QFont font = look::font(captionPoints);
  const QFontMetricsF metrics(font);
  const double space = metrics.horizontalAdvance(u' ');
  const QString ellipsis = QStringLiteral("…");

  // Whole words are dropped from the start until the rest fits behind an ellipsis.
  std::size_t first = newest;
  double total = -space;
  for (std::size_t i = newest; i < words.size(); ++i)
    total += metrics.horizontalAdvance(words[i].text) + space;
  const double lead = metrics.horizontalAdvance(ellipsis) + space;
  if (total > room.width()) {
    while (first + 1 < words.size() && total + lead > room.width()) {
      total -= metrics.horizontalAdvance(words[first].text) + space;
      ++first;
    }
  }
  const bool cut = first > newest;

  painter.save();
  painter.setClipRect(room);
  painter.setFont(font);
  painter.setOpacity(painter.opacity() * (faded ? fadedOpacity : 1.0));
  const double baseline = room.center().y() + (metrics.ascent() - metrics.descent()) / 2;
  double x = room.left();
  painter.setPen(colour);
  if (cut) {
    painter.drawText(QPointF(x, baseline), ellipsis);
    x += lead;
  }
  for (std::size_t i = first; i < words.size(); ++i) {
    const double w = metrics.horizontalAdvance(words[i].text);
    painter.setPen(colour);
    painter.drawText(QPointF(x, baseline), words[i].text);
    if (words[i].unsure) {
      QPen pen(look::orange(), 1.5, Qt::DotLine);
      pen.setCapStyle(Qt::RoundCap);
      painter.setPen(pen);
      const double y = baseline + metrics.descent() / 2 + underlineGap;
      painter.drawLine(QPointF(x, y), QPointF(x + w, y));
    }
    x += w + space;
  }
  painter.restore();
}

}  // namespace talvo
