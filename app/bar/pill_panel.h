#pragma once

#include "bar/bar_desktop.h"
#include "bar/pill_controller.h"
#include "bar/pill_model.h"

#include <QWidget>

#include <memory>

namespace talvo {

class FocusedWindow;
class PillView;

// The bar's floating window on X11: an override-redirect window that never takes the focus,
// stays above other windows on every workspace and out of the task bar, and lets clicks
// through while the phase ignores the mouse. Translucent where a compositor runs; an
// opaque capsule, shaped so that no corner shows, where none does.
class PillPanel final : public QWidget, public BarDesktop {
public:
  // focused: where the caret's window is; the X server's when null.
  PillPanel(std::shared_ptr<PillModel> model, std::shared_ptr<FocusedWindow> focused);

  std::vector<pill_geometry::ScreenArea> screens() override;
  std::optional<QPointF> pointer() override;
  std::optional<QRectF> caret() override;
  std::optional<QImage> activeAppIcon() override;
  void showPanel(const QRectF& frame, bool ignoresMouse) override;
  void hidePanel() override;
  void setClickHandlers(std::function<void()> onTap, std::function<void()> onFix) override;

  bool translucent() const { return translucent_; }

private:
  void shapeOpaque();

  std::shared_ptr<PillModel> model_;
  std::shared_ptr<FocusedWindow> focused_;
  PillView* view_;
  bool translucent_;
  std::optional<bool> clickThrough_;
};

// The screens as the bar is placed on them, the primary one first.
std::vector<pill_geometry::ScreenArea> desktopScreens();

// The bar as the shell uses it: the controller over its own window.
std::shared_ptr<PillController> makeDesktopBar(std::shared_ptr<FocusedWindow> focused = nullptr);

}  // namespace talvo
