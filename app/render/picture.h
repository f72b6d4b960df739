#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// Pictures of widgets, drawn off screen, written as PNG files.
namespace talvo::picture {

// Every interface picture is drawn at twice its size in device-independent pixels.
inline constexpr double uiScale = 2;

// Lays `widget` out at exactly `canvas`, lets pending layout and paint work settle, and
// draws it at `scale` over `background` (transparent when it has no alpha).
QImage capture(QWidget& widget, QSize canvas, double scale, QColor background);

// Writes `image` to DIR/name as PNG. A failure is told on standard error and the run goes on.
[[nodiscard]] bool write(const QImage& image, const QString& directory, const QString& name);

// Creates the folder and any parents; an existing one, or a failure, is left to `write`.
void prepareDirectory(const QString& directory);

// Prints one progress line on standard output.
void say(const QString& line);

}  // namespace talvo::picture
