// Build-time tool: draws the program's icon into a hicolor icon-theme tree, one PNG per
// size the desktops look up plus a scalable SVG, all from the same drawing.
// Usage: talvo_icon_theme DIR NAME SIZE...
//   writes DIR/SIZExSIZE/apps/NAME.png for each size and DIR/scalable/apps/NAME.svg
#include "render/app_icon_view.h"
#include "render/picture.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

using talvo::AppIconView;

QString appsFolder(const QString& root, const QString& size) {
  QString folder = root + u'/' + size + QStringLiteral("/apps");  // not const: returned by move
  QDir().mkpath(folder);
  return folder;
}

bool writeSizes(const QImage& master, const QString& root, const QString& name,
                const std::vector<int>& sizes) {
  bool ok = true;
  for (int size : sizes) {
    const QImage image = master.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ok = talvo::picture::write(image, appsFolder(root, QStringLiteral("%1x%1").arg(size)),
                               name + QStringLiteral(".png")) &&
         ok;
  }
  return ok;
}

// Vector paths stay vectors; the soft shadow goes in as the one embedded bitmap.
bool writeScalable(AppIconView& view, const QString& root, const QString& name) {
  const QString path =
      appsFolder(root, QStringLiteral("scalable")) + u'/' + name + QStringLiteral(".svg");
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(QSize(AppIconView::canvas, AppIconView::canvas));
  svg.setViewBox(QRect(0, 0, AppIconView::canvas, AppIconView::canvas));
  svg.setTitle(name);
  QPainter painter;
  if (!painter.begin(&svg)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  return painter.end();
}

// The sizes given after DIR and NAME; none when one is not a size.
std::optional<std::vector<int>> sizesFrom(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 3; i < argc; ++i) {
    bool number = false;
    const int size = QByteArray(argv[i]).toInt(&number);
    if (!number || size < 1 || size > AppIconView::canvas) return std::nullopt;
    sizes.push_back(size);
  }
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<std::vector<int>> sizes = sizesFrom(argc, argv);
  if (argc < 4 || !sizes) {
    std::fprintf(stderr, "usage: %s DIR NAME SIZE...\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  AppIconView view;
  const QSize canvas(AppIconView::canvas, AppIconView::canvas);
  const QImage master = talvo::picture::capture(view, canvas, 1, Qt::transparent);
  view.setFixedSize(canvas);
  const bool pngs = writeSizes(master, root, name, *sizes);
  const bool svg = writeScalable(view, root, name);
  return pngs && svg ? 0 : 1;
}
