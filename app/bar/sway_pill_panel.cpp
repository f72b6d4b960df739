#include "bar/sway_pill_panel.h"

#include "bar/pill_panel.h"
#include "bar/pill_view.h"
#include "insertion/atspi_focus_probe.h"
#include "insertion/sway_focused_window.h"
#include "storage/log.h"
#include "sway/sway_ipc.h"
#include "sway/sway_rules.h"
#include "widgets/look.h"

#include <QGuiApplication>
#include <QWindow>

namespace talvo {

SwayPillPanel::SwayPillPanel(std::shared_ptr<PillModel> model,
                             std::shared_ptr<sway::Connection> sway)
    : model_(std::move(model)),
      sway_(std::move(sway)),
      focused_(std::make_shared<SwayFocusedWindow>(sway_)),
      view_(new PillView(model_, this)),
      criteria_(sway::criteria(QGuiApplication::desktopFileName(),
                               look::titleAsShown(QString::fromLatin1(swayBarTitle)))) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  setWindowTitle(QString::fromLatin1(swayBarTitle));
  view_->setTranslucent(true);
  // The rules hold for every later showing of the window, so they are given once.
  if (const QString error = sway_->run(sway::panelRules(criteria_)); !error.isEmpty())
    Log::info(QStringLiteral("bar: the compositor refused its window rules: ") + error);
  retry_.setInterval(placeRetryMs);
  connect(&retry_, &QTimer::timeout, this, &SwayPillPanel::retryPlace);
  (void)caret();
}

std::vector<pill_geometry::ScreenArea> SwayPillPanel::screens() { return desktopScreens(); }

// The pointer's place is the compositor's secret; the focused window's middle picks the
// screen the user works on just as well.
std::optional<QPointF> SwayPillPanel::pointer() {
  const auto window = focused_->window();
  if (!window) return std::nullopt;
  return QRectF(window->frame).center();
}

std::optional<QRectF> SwayPillPanel::caret() {
  const auto rect = Caret::rect(focused_.get());
  if (!rect) return std::nullopt;
  return QRectF(rect->x, rect->y, rect->width, rect->height);
}

std::optional<QImage> SwayPillPanel::activeAppIcon() {
  const auto window = focused_->window();
  if (!window) return std::nullopt;
  return look::appIcon({window->appId, window->appId.toLower()});
}

// A window that is not on the screen yet cannot be moved, so a new one stays empty until
// the compositor has it where it belongs; otherwise it would flash up in the middle.
void SwayPillPanel::showPanel(const QRectF& frame, bool ignoresMouse) {
  const QRect rect = frame.toAlignedRect();
  resize(rect.size());
  view_->setGeometry(this->rect());
  place_ = rect.topLeft();
  if (!isVisible()) {
    placed_.reset();
    view_->hide();
    show();
  }
  if (placed_ != place_ && !moveToPlace() && !retry_.isActive()) {
    retriesLeft_ = placeTimeoutMs / placeRetryMs;
    retry_.start();
  }
  // Clicks reach whatever is below a window that takes input in one pixel only.
  if (QWindow* window = windowHandle())
    window->setMask(ignoresMouse ? QRegion(0, 0, 1, 1) : QRegion());
  view_->update();
}

bool SwayPillPanel::moveToPlace() {
  if (!sway_->run(sway::moveTo(criteria_, place_)).isEmpty()) return false;
  placed_ = place_;
  view_->show();
  return true;
}

void SwayPillPanel::retryPlace() {
  if (!isVisible() || moveToPlace()) return retry_.stop();
  if (--retriesLeft_ > 0) return;
  retry_.stop();
  Log::info(QStringLiteral("bar: the compositor did not show its window in time"));
  view_->show();
}

void SwayPillPanel::hidePanel() {
  retry_.stop();
  hide();
}

void SwayPillPanel::setClickHandlers(std::function<void()> onTap, std::function<void()> onFix) {
  view_->setOnTap(std::move(onTap));
  view_->setOnFix(std::move(onFix));
}

std::shared_ptr<PillController> makeSwayBar(std::shared_ptr<sway::Connection> sway) {
  auto model = std::make_shared<PillModel>();
  auto panel = std::make_shared<SwayPillPanel>(model, std::move(sway));
  return std::make_shared<PillController>(model, panel);
}

}  // namespace talvo
