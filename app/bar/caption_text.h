#pragma once

#include "pipeline/records.h"

#include <QColor>
#include <QRectF>

#include <vector>

class QPainter;

namespace talvo {

// One line of the newest words. Doubtful words get an orange dotted underline; a line too
// long for its room loses its start, so the newest words stay in view.
struct CaptionText {
  std::vector<SpokenWord> words;
  bool faded = false;

  void paint(QPainter& painter, const QRectF& room, const QColor& colour) const;
};

}  // namespace talvo
