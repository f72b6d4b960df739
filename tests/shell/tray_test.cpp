// The tray's glyph and menu as real widgets, off screen.
#include "shell/tray.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace talvo {
namespace {

bool drawsIn(const QIcon& icon, int pixels, QColor colour) {
  const QImage image = icon.pixmap(pixels).toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == colour.rgba()) return true;
  return false;
}

TEST(TrayIcon, AnAccentDotShowsOnlyWhileListening) {
  QPalette palette;
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::Highlight, Qt::red);
  for (int pixels : {22, 44}) {
    EXPECT_TRUE(drawsIn(trayIcon(false, palette), pixels, Qt::black)) << pixels;
    EXPECT_FALSE(drawsIn(trayIcon(false, palette), pixels, Qt::red)) << pixels;
    EXPECT_TRUE(drawsIn(trayIcon(true, palette), pixels, Qt::red)) << pixels;
  }
}

// A stand-alone menu's shortcuts act only through the menu's own key handling.
TEST(TrayMenu, RowsBecomeItemsWhoseEnabledKeyEquivalentsAct) {
  QMenu menu;
  menu.addAction("left over from last time");
  std::vector<MenuAction> performed;
  fillMenu(menu,
           {MenuRow{"Ready.", {}, false, MenuAction::none, false}, MenuRow::divider(),
            MenuRow{"Copy last dictation", "Ctrl+C", false, MenuAction::copyLast, false},
            MenuRow{"Open Talvo…", "Ctrl+,", true, MenuAction::openMain, false}},
           [&](MenuAction a) { performed.push_back(a); });
  ASSERT_EQ(menu.actions().size(), 4);
  EXPECT_TRUE(menu.actions()[1]->isSeparator());
  menu.popup(QPoint(100, 100));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::keyClick(&menu, Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(menu.isVisible()) << "a disabled item's key leaves the menu open";
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
