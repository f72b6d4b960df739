#include "shell/tray.h"

#include "render/app_icon_view.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace talvo {
namespace {

// Drawn on a 22-unit grid, the usual tray size, at one and two times.
constexpr double grid = 22;
constexpr double barsLeft = 2.5;
constexpr double barsWidth = 17;
constexpr double barsHeight = 16;
constexpr double barFill = 0.6;  // of each bar's slot
constexpr double dotDiameter = 7;
constexpr int sizes[] = {22, 44};

QPixmap drawn(int pixels, bool listening, const QPalette& palette) {
  QPixmap pixmap(pixels, pixels);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(pixels / grid, pixels / grid);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette.color(QPalette::WindowText));

  const std::vector<double>& bars = AppIconView::iconBars;
  const double slot = barsWidth / double(bars.size());
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const double height = barsHeight * bars[i];
    const double width = slot * barFill;
    const QRectF bar(barsLeft + slot * double(i) + (slot - width) / 2, (grid - height) / 2, width,
                     height);
    painter.drawRoundedRect(bar, width / 2, width / 2);
  }
  if (listening) {
    painter.setBrush(palette.color(QPalette::Highlight));
    painter.drawEllipse(QRectF(grid - dotDiameter, grid - dotDiameter, dotDiameter, dotDiameter));
  }
  return pixmap;
}

// A stand-alone pop-up menu is no window's part, so Qt's shortcut map never matches its
// items' shortcuts; the menu's key presses are matched here instead.
class KeyEquivalents final : public QObject {
public:
  static constexpr const char* name = "keyEquivalents";

  explicit KeyEquivalents(QMenu* menu) : QObject(menu), menu_(menu) {
    setObjectName(QString::fromLatin1(name));
    menu->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : menu_->actions()) {
      if (!action->isEnabled() || action->shortcut().isEmpty() || action->shortcut() != pressed)
        continue;
      menu_->close();
      action->trigger();
      return true;
    }
    return false;
  }

private:
  QMenu* menu_;
};

}  // namespace

QIcon trayIcon(bool listening, const QPalette& palette) {
  QIcon icon;
  for (int pixels : sizes) icon.addPixmap(drawn(pixels, listening, palette));
  return icon;
}

void fillMenu(QMenu& menu, const std::vector<MenuRow>& rows,
              const std::function<void(MenuAction)>& perform) {
  menu.clear();
  // Without Q_OBJECT, the filter is told apart from the menu's other children by its name.
  if (!menu.findChild<QObject*>(QString::fromLatin1(KeyEquivalents::name),
                                Qt::FindDirectChildrenOnly))
    new KeyEquivalents(&menu);
  for (const MenuRow& row : rows) {
    if (row.separator) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(row.text);
    action->setEnabled(row.enabled);
    if (!row.shortcut.isEmpty())
      action->setShortcut(QKeySequence(row.shortcut, QKeySequence::PortableText));
    QObject::connect(action, &QAction::triggered, &menu,
                     [perform, what = row.action] { perform(what); });
  }
}

}  // namespace talvo
