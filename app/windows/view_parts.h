#pragma once

#include <QColor>
#include <QString>

class QBoxLayout;
class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

// Small building blocks the main window's views share.
namespace talvo::parts {

inline constexpr int cardRadius = 10;
inline constexpr int cardPadding = 14;
inline constexpr double tintOpacity = 0.08;
// Every section's content sits this far from the sidebar and the window's edges.
inline constexpr int pageMargin = 20;

// The margins of a section's page.
void pageMargins(QBoxLayout* layout);
// Fills `view` with a frameless scrolling page that starts with `heading`; returns the page's
// layout, for the sections that follow.
QVBoxLayout* scrollingPage(QWidget* view, const QString& heading);

// A rounded card; `tint` (when valid) colours its fill lightly, otherwise the base colour.
QFrame* card(QWidget* parent, QColor tint = {});
QVBoxLayout* cardLayout(QFrame* card);
// A section title in a large semibold font.
QLabel* title(const QString& text, QWidget* parent, double pointSize = 20);
// Small secondary text that wraps.
QLabel* note(const QString& text, QWidget* parent, double pointSize = 11);
// A theme symbol as a label.
QLabel* symbolLabel(const QString& name, int size, const QColor& tint, QWidget* parent);
// The program's own sound-bars glyph, `size` pixels square, drawn sharp for doubled screens.
QLabel* barsGlyph(int size, const QColor& colour, QWidget* parent);
// Removes and deletes every item and widget of `layout`.
void clear(QBoxLayout* layout);

}  // namespace talvo::parts
