#include "windows/view_parts.h"

#include "widgets/look.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>

#include <array>
#include <QLayoutItem>
#include <QWidget>

namespace talvo::parts {

void pageMargins(QBoxLayout* layout) {
  layout->setContentsMargins(pageMargin, pageMargin - 4, pageMargin, pageMargin);
  layout->setSpacing(14);
}

QVBoxLayout* scrollingPage(QWidget* view, const QString& heading) {
  auto* outer = new QVBoxLayout(view);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(view);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* content = new QWidget(scroll);
  auto* layout = new QVBoxLayout(content);
  pageMargins(layout);
  layout->addWidget(title(heading, content));
  scroll->setWidget(content);
  outer->addWidget(scroll);
  return layout;
}

QFrame* card(QWidget* parent, QColor tint) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QStringLiteral("card"));
  const QPalette palette = frame->palette();
  QColor fill = palette.color(QPalette::Base);
  if (tint.isValid()) {
    tint.setAlphaF(tintOpacity);
    fill = tint;
  }
  frame->setStyleSheet(
      QStringLiteral("QFrame#card { background: %1; border: 1px solid %2; "
                     "border-radius: %3px; }")
          .arg(fill.name(QColor::HexArgb), look::hairline(palette).name(QColor::HexArgb))
          .arg(cardRadius));
  return frame;
}

QVBoxLayout* cardLayout(QFrame* card) {
  auto* layout = new QVBoxLayout(card);
  layout->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
  layout->setSpacing(8);
  return layout;
}

QLabel* title(const QString& text, QWidget* parent, double pointSize) {
  auto* label = new QLabel(text, parent);
  label->setFont(look::font(pointSize, QFont::DemiBold));
  return label;
}

QLabel* note(const QString& text, QWidget* parent, double pointSize) {
  auto* label = new QLabel(text, parent);
  label->setFont(look::font(pointSize));
  label->setWordWrap(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, look::secondary(palette));
  label->setPalette(palette);
  return label;
}

QLabel* symbolLabel(const QString& name, int size, const QColor& tint, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(look::symbol(name, size, tint, look::sharpScale));
  label->setFixedSize(size, size);
  return label;
}

QLabel* barsGlyph(int size, const QColor& colour, QWidget* parent) {
  constexpr std::array heights{0.35, 0.7, 1.0, 0.55, 0.25};
  QPixmap pixmap(QSize(size, size) * look::sharpScale);
  pixmap.setDevicePixelRatio(look::sharpScale);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  const double step = double(size) / heights.size();
  const double barWidth = step * 0.55;
  for (std::size_t i = 0; i < heights.size(); ++i) {
    const double h = size * heights[i];
    painter.drawRoundedRect(QRectF(i * step + (step - barWidth) / 2, (size - h) / 2, barWidth, h),
                            barWidth / 2, barWidth / 2);
  }
  painter.end();
  auto* label = new QLabel(parent);
  label->setPixmap(pixmap);
  label->setFixedSize(size, size);
  return label;
}

void clear(QBoxLayout* layout) {
  // Later, not now: the click that asked for the change may come from a widget in here.
  while (QLayoutItem* item = layout->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->setParent(nullptr);
      widget->deleteLater();
    }
    delete item;
  }
}

}  // namespace talvo::parts
