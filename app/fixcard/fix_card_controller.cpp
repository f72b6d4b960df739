#include "fixcard/fix_card_controller.h"

#include "fixcard/fix_word_view.h"
#include "widgets/look.h"
#include "widgets/x11_windows.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace talvo {
namespace {

// A frameless window needs an edge of its own to stand out from what is behind it.
class KeyPanel final : public QWidget {
public:
  KeyPanel() {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(fixCardTitle);
    setAttribute(Qt::WA_DeleteOnClose);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(look::hairline(palette()));
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  }
};

class DesktopWindowFocus final : public WindowFocus {
public:
  std::optional<std::uint64_t> activeWindow() override { return x11::activeWindow(); }
  void activate(std::uint64_t window) override { x11::activate(window); }
};

}  // namespace

std::shared_ptr<WindowFocus> makeDesktopWindowFocus() {
  return std::make_shared<DesktopWindowFocus>();
}

QWidget* makeFixCardPanel(FixWordView* view) {
  auto* panel = new KeyPanel;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(view);
  panel->adjustSize();
  return panel;
}

FixCardController::FixCardController(std::shared_ptr<WindowFocus> focus)
    : focus_(std::move(focus)) {}

FixCardController::~FixCardController() {
  if (panel_) delete panel_.data();
}

void FixCardController::show(const std::vector<SpokenWord>& words,
                             const std::optional<QRectF>& near) {
  if (panel_) panel_->hide();
  forget();
  returnTo_.reset();
  returnTo_ = focus_->activeWindow();

  QPointer<FixCardController> self(this);
  auto* view = new FixWordView(
      words,
      [self](const QString& heard, const QString& meant) {
        if (self && self->onSave) self->onSave(heard, meant);
      },
      [self] {
        if (self) self->close();
      });
  QWidget* panel = makeFixCardPanel(view);
  if (near) {
    panel->move(near->topLeft().toPoint());
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    panel->move(screen->availableGeometry().center() - panel->rect().center());
  }
  panel_ = panel;
  view_ = view;
  panel->show();
  panel->raise();
  panel->activateWindow();
}

void FixCardController::close() {
  if (panel_) panel_->hide();
  forget();
  if (returnTo_) focus_->activate(*returnTo_);
  returnTo_.reset();
}

void FixCardController::forget() {
  if (panel_) panel_->deleteLater();
  panel_.clear();
  view_.clear();
}

}  // namespace talvo
