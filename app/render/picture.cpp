#include "render/picture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLayout>
#include <QPainter>
#include <QSaveFile>
#include <QWidget>

#include <cstdio>

namespace talvo::picture {
namespace {

// Long enough for posted layout and polish events; nothing here loads asynchronously.
constexpr int settleMs = 20;

void settle() {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, settleMs);
  } while (clock.elapsed() < settleMs);
}

void printTo(std::FILE* stream, const QString& line) {
  const QByteArray bytes = line.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
  std::fflush(stream);
}

}  // namespace

QImage capture(QWidget& widget, QSize canvas, double scale, QColor background) {
  widget.setAttribute(Qt::WA_DontShowOnScreen);
  widget.setFixedSize(canvas);
  widget.show();
  if (QLayout* layout = widget.layout()) layout->activate();
  settle();
  QImage image(canvas * scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(background.alpha() == 0 ? QColor(Qt::transparent) : background);
  QPainter painter(&image);
  widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  widget.hide();
  return image;
}

bool write(const QImage& image, const QString& directory, const QString& name) {
  const QString path = QDir(directory).filePath(name);
  QSaveFile file(path);
  if (image.isNull() || !file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") ||
      !file.commit()) {
    printTo(stderr, QStringLiteral("could not write ") + path);
    return false;
  }
  return true;
}

void prepareDirectory(const QString& directory) { QDir().mkpath(directory); }

void say(const QString& line) { printTo(stdout, line); }

}  // namespace talvo::picture
