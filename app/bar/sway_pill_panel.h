#pragma once

#include "bar/bar_desktop.h"
#include "bar/pill_controller.h"
#include "bar/pill_model.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace talvo {

class PillView;
class SwayFocusedWindow;

namespace sway {
class Connection;
}

// The bar's floating window on sway, where a toolkit's no-focus flags are ignored: an
// ordinary window that the compositor's rules keep floating, on every workspace and out of
// the focus, placed over its IPC. Positions from the toolkits there are relative to their
// window, so the caret is put on the desktop with the focused window's place.
class SwayPillPanel final : public QWidget, public BarDesktop {
public:
  // How long a new window may take to appear in the compositor's tree before it is placed,
  // and how often it is looked for meanwhile.
  static constexpr int placeTimeoutMs = 500;
  static constexpr int placeRetryMs = 4;

  SwayPillPanel(std::shared_ptr<PillModel> model, std::shared_ptr<sway::Connection> sway);

  std::vector<pill_geometry::ScreenArea> screens() override;
  std::optional<QPointF> pointer() override;
  std::optional<QRectF> caret() override;
  std::optional<QImage> activeAppIcon() override;
  void showPanel(const QRectF& frame, bool ignoresMouse) override;
  void hidePanel() override;
  void setClickHandlers(std::function<void()> onTap, std::function<void()> onFix) override;

private:
  bool moveToPlace();
  void retryPlace();

  std::shared_ptr<PillModel> model_;
  std::shared_ptr<sway::Connection> sway_;
  std::shared_ptr<SwayFocusedWindow> focused_;
  PillView* view_;
  QString criteria_;
  QPoint place_;
  std::optional<QPoint> placed_;
  QTimer retry_;
  int retriesLeft_ = 0;
};

// The title that tells the bar's window from the program's other windows, which share its
// app id.
inline constexpr auto swayBarTitle = "Talvo dictation bar";

std::shared_ptr<PillController> makeSwayBar(std::shared_ptr<sway::Connection> sway);

}  // namespace talvo
