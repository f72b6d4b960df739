#include "widgets/look.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmapCache>
#include <QStandardPaths>

#include <utility>

namespace talvo::look {
namespace {

constexpr int materialAlpha = 217;  // about 85 %
constexpr int hairlineAlpha = 40;
constexpr int secondaryAlpha = 150;
// How far the sidebar's fill moves from the window colour towards the text.
constexpr double sidebarShade = 0.06;
// How far disabled text moves from its colour towards the fill behind it: still readable,
// plainly not for use.
constexpr double disabledFade = 0.55;

struct Colours {
  QColor window, base, text, button, highlight, highlightedText, placeholder;
};

// `from` moved the fraction `amount` of the way to `to`.
QColor blend(const QColor& from, const QColor& to, double amount) {
  return QColor::fromRgbF(
      static_cast<float>(from.redF() + (to.redF() - from.redF()) * amount),
      static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * amount),
      static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

// Each disabled text faded towards the fill it is drawn on.
void setDisabled(QPalette& p, const Colours& c) {
  p.setColor(QPalette::Disabled, QPalette::WindowText, blend(c.text, c.window, disabledFade));
  p.setColor(QPalette::Disabled, QPalette::Text, blend(c.text, c.base, disabledFade));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, blend(c.text, c.button, disabledFade));
}

QPalette build(const Colours& c) {
  QPalette p;
  p.setColor(QPalette::Window, c.window);
  p.setColor(QPalette::WindowText, c.text);
  p.setColor(QPalette::Base, c.base);
  p.setColor(QPalette::AlternateBase, c.window);
  p.setColor(QPalette::Text, c.text);
  p.setColor(QPalette::Button, c.button);
  p.setColor(QPalette::ButtonText, c.text);
  p.setColor(QPalette::Highlight, c.highlight);
  p.setColor(QPalette::HighlightedText, c.highlightedText);
  p.setColor(QPalette::PlaceholderText, c.placeholder);
  p.setColor(QPalette::ToolTipBase, c.base);
  p.setColor(QPalette::ToolTipText, c.text);
  p.setColor(QPalette::Link, c.highlight);
  setDisabled(p, c);
  return p;
}

const std::pair<const char*, const char*> symbolNames[] = {
    {"text.cursor", "insert-text-symbolic"},
    {"lock", "changes-prevent-symbolic"},
    {"lock.fill", "changes-prevent-symbolic"},
    {"exclamationmark.triangle", "dialog-warning-symbolic"},
    {"exclamationmark.circle", "dialog-warning-symbolic"},
    {"doc.on.clipboard", "edit-paste-symbolic"},
    {"checkmark", "object-select-symbolic"},
    {"checkmark.circle.fill", "emblem-ok-symbolic"},
    {"xmark", "window-close-symbolic"},
    {"arrow.right", "go-next-symbolic"},
    {"text.badge.xmark", "action-unavailable-symbolic"},
    {"mic.slash", "microphone-sensitivity-muted-symbolic"},
    {"mic", "audio-input-microphone-symbolic"},
};

QPixmap tintedSymbol(const QString& name, int size, const QColor& tint, qreal scale) {
  const QString themeName = iconName(name);
  const QIcon icon = QIcon::fromTheme(themeName);
  if (icon.isNull()) return {};
  QPixmap pixmap = icon.pixmap(QSize(size, size), scale);
  if (!themeName.endsWith(QLatin1String("-symbolic"))) return pixmap;
  QPainter painter(&pixmap);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(QRect(QPoint(0, 0), pixmap.size() / pixmap.devicePixelRatio()), tint);
  return pixmap;
}

}  // namespace

QPalette palette(Appearance appearance) {
  if (appearance == Appearance::light)
    return build({QColor(0xf6, 0xf5, 0xf4), QColor(0xff, 0xff, 0xff), QColor(0x24, 0x24, 0x24),
                  QColor(0xec, 0xeb, 0xea), QColor(0x35, 0x84, 0xe4), Qt::white,
                  QColor(0x8a, 0x8a, 0x8a)});
  // Fusion draws the edges of fields and check boxes in the window colour darkened, and they
  // sit on cards of the base colour: base is lighter than the window so those edges show.
  return build({QColor(0x2b, 0x2b, 0x2d), QColor(0x34, 0x34, 0x37), QColor(0xf2, 0xf2, 0xf2),
                QColor(0x3a, 0x3a, 0x3d), QColor(0x4a, 0x96, 0xf0), Qt::white,
                QColor(0x92, 0x92, 0x96)});
}

QColor orange() { return QColor(0xe8, 0x86, 0x1a); }

QColor secondary(const QPalette& p) {
  QColor c = p.color(QPalette::WindowText);
  c.setAlpha(secondaryAlpha);
  return c;
}

QColor material(const QPalette& p, bool translucent) {
  QColor c = p.color(QPalette::Window);
  if (translucent) c.setAlpha(materialAlpha);
  return c;
}

QColor hairline(const QPalette& p) {
  QColor c = p.color(QPalette::WindowText);
  c.setAlpha(hairlineAlpha);
  return c;
}

QColor sidebar(const QPalette& p) {
  return blend(p.color(QPalette::Window), p.color(QPalette::WindowText), sidebarShade);
}

QFont font(double pointSize, QFont::Weight weight) {
  // Sizes are given in device-independent pixels, the unit every other measure of the
  // shell uses; typographic points would make text a third larger than the room it is given.
  QFont f = QApplication::font();
  f.setPixelSize(qRound(pointSize));
  f.setWeight(weight);
  return f;
}

void useIconTheme() {
  QStringList paths = QIcon::themeSearchPaths();
  for (const QString& data :
       QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    const QString icons = QDir(data).filePath(QStringLiteral("icons"));
    if (!paths.contains(icons) && QDir(icons).exists()) paths << icons;
  }
  const QString system = QStringLiteral("/usr/share/icons");
  if (!paths.contains(system)) paths << system;
  QIcon::setThemeSearchPaths(paths);
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
    QIcon::setThemeName(QStringLiteral("Adwaita"));
}

QString titleAsShown(const QString& title) {
  const QString name = QGuiApplication::applicationDisplayName();
  if (name.isEmpty() || title.endsWith(name)) return title;
  return title.isEmpty() ? name : title + QStringLiteral(" \u2014 ") + name;
}

std::optional<QImage> appIcon(const QStringList& names) {
  constexpr int iconSize = 64;
  for (const QString& name : names) {
    if (name.isEmpty()) continue;
    const QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull()) return icon.pixmap(iconSize).toImage();
  }
  return std::nullopt;
}

QString iconName(const QString& symbol) {
  for (const auto& [from, to] : symbolNames)
    if (symbol == QLatin1String(from)) return QString::fromLatin1(to);
  return symbol;
}

// Views repaint many times a second (the bar's meter), and a theme look-up with tinting is
// far dearer than the painting itself, so the finished pixmaps are kept.
QPixmap symbol(const QString& name, int size, const QColor& tint, qreal scale) {
  const QString key =
      QStringLiteral("talvo-symbol:%1:%2:%3:%4").arg(name).arg(size).arg(tint.rgba()).arg(scale);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return cached;
  QPixmap pixmap = tintedSymbol(name, size, tint, scale);
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

QIcon symbolIcon(const QString& name, int size, const QColor& tint) {
  QIcon icon;
  for (qreal scale : {qreal(1), sharpScale}) {
    const QPixmap pixmap = symbol(name, size, tint, scale);
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace talvo::look
