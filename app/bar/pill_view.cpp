#include "bar/pill_view.h"

#include "bar/caption_text.h"
#include "bar/pill_geometry.h"
#include "widgets/look.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace talvo {
namespace {

constexpr double capsuleRadius = 12;
constexpr double iconSize = 22;
constexpr double iconInset = 12;
constexpr double gap = 10;
constexpr double trailingInset = 14;
constexpr double messagePoints = 13;
constexpr double fixPoints = 12;
constexpr double fixHeight = 24;
constexpr double fixPadding = 10;
constexpr double meterHeight = 2;
constexpr double meterMinLength = 6;
constexpr double meterFromBottom = 9;
constexpr double spinnerSize = 16;
constexpr int spinnerSpokes = 12;
constexpr double restingLineWidth = 28;
constexpr double restingLineHeight = 4;
constexpr double badgeSize = 12;

const QString fixLabel = QStringLiteral("Fix a word");

using K = PillPhase::Kind;

}  // namespace

PillView::PillView(std::shared_ptr<PillModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
  setAttribute(Qt::WA_TranslucentBackground);
  spinner_.setInterval(spinnerIntervalMs);
  connect(&spinner_, &QTimer::timeout, this, [this] {
    spinnerStep_ = (spinnerStep_ + 1) % spinnerSpokes;
    update();
  });
  connect(model_.get(), &PillModel::changed, this, &PillView::modelChanged);
  connect(model_.get(), &PillModel::levelChanged, this, &PillView::levelChanged);
  modelChanged();
}

void PillView::setTranslucent(bool on) {
  translucent_ = on;
  update();
}

// Screen readers, and anything else outside the process, read the bar through its name:
// the picture alone says nothing to them.
QString PillView::spokenName(const PillPhase& phase) {
  switch (phase.kind) {
    case K::message: return phase.text;
    case K::listening: return QStringLiteral("Listening");
    case K::working: return QStringLiteral("Working");
    case K::done: return QStringLiteral("Done");
    case K::hidden:
    case K::resting: break;
  }
  return QStringLiteral("Talvo");
}

void PillView::modelChanged() {
  const QString name = spokenName(model_->phase());
  if (accessibleName() != name) setAccessibleName(name);
  // The spinner only turns while it can be seen.
  const bool working = model_->phase().is(K::working);
  if (working && !spinner_.isActive()) spinner_.start();
  if (!working) spinner_.stop();
  update();
}

// A new level repaints only the strip, and only when the drawn length moves by a pixel.
void PillView::levelChanged() {
  if (!model_->phase().is(K::listening)) return;
  const QRectF strip = meterStrip();
  const double length = std::round(meterLength(strip.width()) * devicePixelRatioF());
  if (length == drawnMeter_) return;
  update(strip.toAlignedRect().adjusted(-1, -1, 1, 1));
}

QRectF PillView::meterStrip() const {
  const QRectF c = capsule();
  const double left = c.left() + iconInset + iconSize + gap;
  const double right = c.right() - trailingInset;
  return QRectF(left, c.bottom() - meterFromBottom, right - left, meterHeight);
}

double PillView::meterLength(double width) const {
  return std::max(meterMinLength, width * std::clamp(model_->level(), 0.0, 1.0));
}

QRectF PillView::capsule() const {
  const double m = pill_geometry::margin;
  return QRectF(rect()).adjusted(m, m, -m, -m);
}

QRectF PillView::fixButtonRect() const {
  if (!model_->phase().is(K::done)) return {};
  const double w =
      QFontMetricsF(look::font(fixPoints)).horizontalAdvance(fixLabel) + 2 * fixPadding;
  const QRectF c = capsule();
  return QRectF(c.right() - gap - w, c.center().y() - fixHeight / 2, w, fixHeight);
}

void PillView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const PillPhase& phase = model_->phase();
  if (phase.is(K::hidden)) return;
  // A meter-only update skips the text and icons, which cost far more than the strip.
  const QRect strip = meterStrip().toAlignedRect().adjusted(-1, -1, 1, 1);
  if (phase.is(K::listening) && strip.contains(event->rect())) {
    const QRectF c = capsule();
    painter.setPen(Qt::NoPen);
    painter.setBrush(look::material(palette(), translucent_));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawRect(QRectF(strip).intersected(c));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    paintMeter(painter, meterStrip());
    return;
  }
  if (phase.is(K::resting))
    paintResting(painter);
  else
    paintCapsule(painter);
}

void PillView::paintResting(QPainter& painter) {
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  painter.setPen(QPen(look::hairline(palette()), 1));
  painter.setBrush(look::material(palette(), translucent_));
  painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
  QColor line = look::secondary(palette());
  line.setAlphaF(line.alphaF() / 2);
  painter.setPen(Qt::NoPen);
  painter.setBrush(line);
  const QRectF dash(r.center().x() - restingLineWidth / 2, r.center().y() - restingLineHeight / 2,
                    restingLineWidth, restingLineHeight);
  painter.drawRoundedRect(dash, restingLineHeight / 2, restingLineHeight / 2);
}

void PillView::paintCapsule(QPainter& painter) {
  const QRectF c = capsule();
  painter.setPen(QPen(look::hairline(palette()), 1));
  painter.setBrush(look::material(palette(), translucent_));
  painter.drawRoundedRect(c.adjusted(0.5, 0.5, -0.5, -0.5), capsuleRadius, capsuleRadius);

  const QRectF icon(c.left() + iconInset, c.center().y() - iconSize / 2, iconSize, iconSize);
  paintLeading(painter, icon);

  const PillPhase& phase = model_->phase();
  double right = c.right() - trailingInset;
  if (phase.is(K::done)) right = fixButtonRect().left() - gap;
  if (phase.is(K::working)) {
    const QRectF box(right - spinnerSize, c.center().y() - spinnerSize / 2, spinnerSize,
                     spinnerSize);
    paintSpinner(painter, box);
    right = box.left() - gap;
  }
  const double left = icon.right() + gap;
  if (phase.is(K::listening)) {
    // Words above, the meter along the bottom of the capsule.
    const QRectF room(left, c.top() + 2, right - left, c.height() - meterFromBottom - 4);
    paintCentre(painter, room);
    paintMeter(painter, meterStrip());
  } else {
    paintCentre(painter, QRectF(left, c.top(), right - left, c.height()));
  }
  if (phase.is(K::done)) paintFixButton(painter);
}

void PillView::paintLeading(QPainter& painter, const QRectF& box) {
  const qreal scale = painter.device()->devicePixelRatioF();
  if (const auto& icon = model_->appIcon(); icon && !icon->isNull()) {
    painter.drawImage(box, *icon);
  } else {
    const QPixmap cursor = look::symbol(QStringLiteral("text.cursor"), int(iconSize),
                                        palette().color(QPalette::WindowText), scale);
    painter.drawPixmap(box.toRect(), cursor);
  }
  if (!model_->locked()) return;
  const QRectF badge(box.right() - badgeSize + 3, box.bottom() - badgeSize + 3, badgeSize,
                     badgeSize);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette().color(QPalette::Highlight));
  painter.drawEllipse(badge);
  const QPixmap lock = look::symbol(QStringLiteral("lock.fill"), 8, Qt::white, scale);
  painter.drawPixmap(badge.adjusted(2, 2, -2, -2).toRect(), lock);
}

void PillView::paintCentre(QPainter& painter, const QRectF& room) {
  const PillPhase& phase = model_->phase();
  const QColor text = palette().color(QPalette::WindowText);
  const auto line = [&](const QString& s, const QColor& colour, QFont::Weight weight, double x) {
    painter.setFont(look::font(messagePoints, weight));
    painter.setPen(colour);
    const QRectF r(x, room.top(), room.right() - x, room.height());
    painter.drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(s, Qt::ElideRight, int(r.width())));
  };
  if (phase.is(K::message)) {
    const qreal scale = painter.device()->devicePixelRatioF();
    const QPixmap icon = look::symbol(phase.icon, 16, text, scale);
    double x = room.left();
    if (!icon.isNull()) {
      painter.drawPixmap(QPointF(x, room.center().y() - 8), icon);
      x += 16 + 6;
    }
    line(phase.text, text, QFont::Medium, x);
    return;
  }
  if (const auto& mic = model_->cantHear()) {
    line(QStringLiteral("Can't hear you · ") + *mic, look::orange(), QFont::Medium, room.left());
    return;
  }
  const bool listening = phase.is(K::listening);
  if (listening && (model_->words().empty() || !model_->showWords())) {
    const QString prompt = model_->locked()
                               ? QStringLiteral("Listening, hands-free. Tap the key to finish.")
                               : QStringLiteral("Listening…");
    line(prompt, look::secondary(palette()), QFont::Normal, room.left());
    return;
  }
  CaptionText{model_->words(), phase.is(K::done)}.paint(painter, room, text);
}

void PillView::paintMeter(QPainter& painter, const QRectF& strip) {
  const double length = meterLength(strip.width());
  drawnMeter_ = std::round(length * devicePixelRatioF());
  painter.setPen(Qt::NoPen);
  painter.setBrush(model_->cantHear() ? look::orange() : palette().color(QPalette::Highlight));
  painter.drawRoundedRect(QRectF(strip.left(), strip.top(), length, strip.height()),
                          strip.height() / 2, strip.height() / 2);
}

void PillView::paintSpinner(QPainter& painter, const QRectF& box) {
  const QPointF centre = box.center();
  const double outer = box.width() / 2;
  for (int i = 0; i < spinnerSpokes; ++i) {
    QColor c = palette().color(QPalette::WindowText);
    c.setAlphaF(float(0.15 + 0.85 * double((i + spinnerSpokes - spinnerStep_) % spinnerSpokes) /
                                 spinnerSpokes));
    painter.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap));
    const double angle = 2 * M_PI * i / spinnerSpokes;
    const QPointF dir(std::cos(angle), std::sin(angle));
    painter.drawLine(centre + dir * outer * 0.45, centre + dir * outer);
  }
}

void PillView::paintFixButton(QPainter& painter) {
  const QRectF r = fixButtonRect();
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette().color(QPalette::Highlight));
  painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
  painter.setFont(look::font(fixPoints, QFont::Medium));
  painter.setPen(palette().color(QPalette::HighlightedText));
  painter.drawText(r, Qt::AlignCenter, fixLabel);
}

void PillView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (fixButtonRect().contains(event->position())) {
    if (onFix_) onFix_();
  } else if (onTap_) {
    onTap_();
  }
}

}  // namespace talvo
