#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <optional>

// The program's visual vocabulary: its own palettes, the fixed orange, the translucent
// "material" fill, fonts by point size, and symbols from the icon theme.
namespace talvo::look {

enum class Appearance { light, dark };

QPalette palette(Appearance appearance);

// One orange that reads on both palettes: warnings and doubtful words.
QColor orange();
// Secondary text: the window text, softened.
QColor secondary(const QPalette& palette);
// The bar's fill: the window colour, slightly see-through where a compositor blends it.
QColor material(const QPalette& palette, bool translucent);
QColor hairline(const QPalette& palette);
// The main window's sidebar: the window colour moved a little towards the text, so it stands
// apart from the page in light and dark palettes alike.
QColor sidebar(const QPalette& palette);

// The application font, `pointSize` device-independent pixels high.
QFont font(double pointSize, QFont::Weight weight = QFont::Normal);

// Points the icon search at the installed themes when the platform did not (offscreen),
// and falls back to Adwaita when no theme is set.
void useIconTheme();

// A window's title as the toolkit hands it to the window system on Linux: followed by the
// application's display name, unless it already ends with it. Window rules must match that.
QString titleAsShown(const QString& title);

// The first of these names that the icon theme has, as a picture for a program's icon.
std::optional<QImage> appIcon(const QStringList& names);

// The theme icon for one of the program's symbol names (its own names, or a freedesktop
// name as is).
QString iconName(const QString& symbol);
// The symbol drawn at `size` device-independent pixels; symbolic icons take `tint`, so they
// read on dark palettes too. A null pixmap when the theme lacks it.
QPixmap symbol(const QString& name, int size, const QColor& tint, qreal scale);
// The same as an icon holding both the normal and the doubled drawing, for buttons, which
// pick the one that suits the screen they are painted on.
QIcon symbolIcon(const QString& name, int size, const QColor& tint);
inline constexpr qreal sharpScale = 2;

}  // namespace talvo::look
