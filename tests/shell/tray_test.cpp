// The tray's glyph and menu as real widgets, off screen.
#include "shell/tray.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace talvo {
namespace {

QPalette paletteWith(QColor text, QColor accent) {
  QPalette palette;
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Highlight, accent);
  return palette;
}

// How many pixels of the drawing are close to `colour`.
int pixelsOf(const QImage& image, QColor colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() > 200 && std::abs(c.red() - colour.red()) < 30 && std::abs(c.green() - colour.green()) < 30 &&
          std::abs(c.blue() - colour.blue()) < 30)
        ++count;
    }
  return count;
}

TEST(TrayIcon, AnAccentDotShowsOnlyWhileListening) {
  const QPalette palette = paletteWith(Qt::black, QColor(230, 20, 20));
  for (int pixels : {22, 44}) {
    const QImage resting = trayIcon(false, palette).pixmap(pixels).toImage();
    const QImage listening = trayIcon(true, palette).pixmap(pixels).toImage();
    EXPECT_GT(pixelsOf(resting, Qt::black), pixels) << "the bars are drawn in the text colour";
    EXPECT_EQ(pixelsOf(resting, QColor(230, 20, 20)), 0);
    EXPECT_GT(pixelsOf(listening, QColor(230, 20, 20)), pixels / 4) << pixels;
  }
}

std::vector<MenuRow> rows() {
  return {MenuRow{"Ready.", {}, false, MenuAction::none, false}, MenuRow::divider(),
          MenuRow{"Copy last dictation", "Ctrl+C", false, MenuAction::copyLast, false},
          MenuRow{"Open Talvo…", "Ctrl+,", true, MenuAction::openMain, false},
          MenuRow{"Quit Talvo", "Ctrl+Q", true, MenuAction::quit, false}};
}

TEST(TrayMenu, ItemsCarryTheRowsAndActOnChoice) {
  QMenu menu;
  menu.addAction("left over from last time");
  std::vector<MenuAction> performed;
  fillMenu(menu, rows(), [&](MenuAction a) { performed.push_back(a); });
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_FALSE(actions[0]->isEnabled());
  EXPECT_FALSE(actions[2]->isEnabled());
  EXPECT_EQ(actions[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_EQ(actions[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
  actions[3]->trigger();
  actions[4]->trigger();
  EXPECT_EQ(performed, (std::vector<MenuAction>{MenuAction::openMain, MenuAction::quit}));
}

TEST(TrayMenu, KeyEquivalentsActWhileTheMenuIsOpen) {
  QMenu menu;
  std::vector<MenuAction> performed;
  fillMenu(menu, rows(), [&](MenuAction a) { performed.push_back(a); });
  menu.popup(QPoint(100, 100));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::keyClick(&menu, Qt::Key_Comma, Qt::ControlModifier);
  EXPECT_EQ(performed, std::vector<MenuAction>{MenuAction::openMain});
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
