#include "fixcard/flow_layout.h"

#include <algorithm>

namespace talvo {

FlowLayout::FlowLayout(int spacing, QWidget* parent) : QLayout(parent), gap_(spacing) {
  setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* FlowLayout::takeAt(int index) {
  if (index < 0 || index >= items_.size()) return nullptr;
  return items_.takeAt(index);
}

QSize FlowLayout::sizeHint() const { return QSize(defaultWidth, heightForWidth(defaultWidth)); }

QSize FlowLayout::minimumSize() const {
  QSize size;
  for (const QLayoutItem* item : items_) size = size.expandedTo(item->minimumSize());
  return size;
}

int FlowLayout::heightForWidth(int width) const { return walk(QRect(0, 0, width, 0), false); }

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  walk(rect, true);
}

int FlowLayout::walk(const QRect& rect, bool apply) const {
  int x = rect.x();
  int y = rect.y();
  int lineHeight = 0;
  bool lineEmpty = true;
  for (QLayoutItem* item : items_) {
    const QSize hint = item->sizeHint();
    if (!lineEmpty && x + hint.width() > rect.right() + 1) {
      x = rect.x();
      y += lineHeight + gap_;
      lineHeight = 0;
    }
    if (apply) item->setGeometry(QRect(QPoint(x, y), hint));
    x += hint.width() + gap_;
    lineHeight = std::max(lineHeight, hint.height());
    lineEmpty = false;
  }
  return items_.isEmpty() ? 0 : y + lineHeight - rect.y();
}

}  // namespace talvo
