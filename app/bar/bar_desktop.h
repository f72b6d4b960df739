#pragma once

#include "bar/pill_geometry.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <optional>
#include <vector>

namespace talvo {

// The window system as the bar's logic sees it: the floating panel and the facts it is
// placed by. The desktop implementation is the real panel; tests use a recording stand-in.
class BarDesktop {
public:
  virtual ~BarDesktop() = default;

  // The primary screen first.
  virtual std::vector<pill_geometry::ScreenArea> screens() = 0;
  virtual std::optional<QPointF> pointer() = 0;
  // The text cursor of the focused application, in screen coordinates.
  virtual std::optional<QRectF> caret() = 0;
  // The icon of the application that has the focus.
  virtual std::optional<QImage> activeAppIcon() = 0;

  // Shows the panel at `frame` without taking the focus; a panel that ignores the mouse
  // lets clicks through to whatever is below.
  virtual void showPanel(const QRectF& frame, bool ignoresMouse) = 0;
  virtual void hidePanel() = 0;
  // A click on the bar, and on its "Fix a word" button.
  virtual void setClickHandlers(std::function<void()> onTap, std::function<void()> onFix) = 0;
};

}  // namespace talvo
