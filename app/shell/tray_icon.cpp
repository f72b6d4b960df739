#include "shell/tray_icon.h"

#include "render/app_icon_view.h"

#include <QPainter>
#include <QPixmap>

namespace talvo {
namespace {

// Drawn on a 22-unit grid, the usual tray size, at one and two times.
constexpr double grid = 22;
constexpr double barsLeft = 2.5;
constexpr double barsWidth = 17;
constexpr double barsHeight = 16;
constexpr double barFill = 0.6;  // of each bar's slot
constexpr double dotDiameter = 7;
constexpr int sizes[] = {22, 44};

QPixmap drawn(int pixels, bool listening, const QPalette& palette) {
  QPixmap pixmap(pixels, pixels);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(pixels / grid, pixels / grid);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette.color(QPalette::WindowText));

  const std::vector<double>& bars = AppIconView::iconBars;
  const double slot = barsWidth / double(bars.size());
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const double height = barsHeight * bars[i];
    const double width = slot * barFill;
    const QRectF bar(barsLeft + slot * double(i) + (slot - width) / 2, (grid - height) / 2, width, height);
    painter.drawRoundedRect(bar, width / 2, width / 2);
  }
  if (listening) {
    painter.setBrush(palette.color(QPalette::Highlight));
    painter.drawEllipse(QRectF(grid - dotDiameter, grid - dotDiameter, dotDiameter, dotDiameter));
  }
  return pixmap;
}

}  // namespace

QIcon trayIcon(bool listening, const QPalette& palette) {
  QIcon icon;
  for (int pixels : sizes) icon.addPixmap(drawn(pixels, listening, palette));
  return icon;
}

}  // namespace talvo
