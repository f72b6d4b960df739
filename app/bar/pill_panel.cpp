#include "bar/pill_panel.h"

#include "bar/pill_view.h"
#include "insertion/atspi_focus_probe.h"
#include "widgets/x11_windows.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainterPath>
#include <QScreen>

namespace talvo {
namespace {

// The panel's size before the first placement.
constexpr QSize initialSize(200, 60);
constexpr double capsuleRadius = 12;
constexpr QPoint offScreen(-30000, -30000);

QRegion roundedRegion(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace

PillPanel::PillPanel(std::shared_ptr<PillModel> model, std::shared_ptr<FocusedWindow> focused)
    : model_(std::move(model)),
      focused_(std::move(focused)),
      view_(new PillView(model_, this)),
      translucent_(x11::compositorRunning()) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TranslucentBackground, translucent_);
  setFocusPolicy(Qt::NoFocus);
  setWindowTitle(QStringLiteral("Talvo"));
  view_->setTranslucent(translucent_);
  resize(initialSize);
  view_->setGeometry(rect());
  // The X window and its backing store exist from the start, so the first dictation does
  // not wait for them: shown once, far off every screen.
  move(offScreen);
  show();
  hide();
  // The first caret look-up connects to the accessibility bus, which takes tens of ms.
  (void)caret();
}

std::vector<pill_geometry::ScreenArea> PillPanel::screens() { return desktopScreens(); }

std::vector<pill_geometry::ScreenArea> desktopScreens() {
  std::vector<pill_geometry::ScreenArea> result;
  QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) result.push_back({primary->geometry(), primary->availableGeometry()});
  for (QScreen* s : QGuiApplication::screens())
    if (s != primary) result.push_back({s->geometry(), s->availableGeometry()});
  return result;
}

std::optional<QPointF> PillPanel::pointer() { return QPointF(QCursor::pos()); }

std::optional<QRectF> PillPanel::caret() {
  const auto rect = Caret::rect(focused_.get());
  if (!rect) return std::nullopt;
  return QRectF(rect->x, rect->y, rect->width, rect->height);
}

std::optional<QImage> PillPanel::activeAppIcon() {
  const auto window = x11::activeWindow();
  if (!window) return std::nullopt;
  return x11::windowIcon(*window);
}

void PillPanel::showPanel(const QRectF& frame, bool ignoresMouse) {
  setGeometry(frame.toAlignedRect());
  view_->setGeometry(rect());
  if (!translucent_) shapeOpaque();
  if (!isVisible()) show();
  raise();
  // Setting the shape costs a round trip; do it only when it changes.
  if (clickThrough_ != ignoresMouse) {
    x11::setClickThrough(winId(), ignoresMouse);
    clickThrough_ = ignoresMouse;
  }
  view_->update();
}

void PillPanel::hidePanel() { hide(); }

void PillPanel::setClickHandlers(std::function<void()> onTap, std::function<void()> onFix) {
  view_->setOnTap(std::move(onTap));
  view_->setOnFix(std::move(onFix));
}

// Without a compositor the window's own pixels are all there is, so the window itself is
// cut to the capsule.
void PillPanel::shapeOpaque() {
  const QRectF all(rect());
  if (model_->phase().is(PillPhase::Kind::resting)) {
    setMask(roundedRegion(all, all.height() / 2));
  } else {
    const double m = pill_geometry::margin;
    setMask(roundedRegion(all.adjusted(m, m, -m, -m), capsuleRadius));
  }
}

std::shared_ptr<PillController> makeDesktopBar(std::shared_ptr<FocusedWindow> focused) {
  auto model = std::make_shared<PillModel>();
  auto panel = std::make_shared<PillPanel>(model, std::move(focused));
  return std::make_shared<PillController>(model, panel);
}

}  // namespace talvo
