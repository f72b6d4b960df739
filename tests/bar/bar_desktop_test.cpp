// The bar's window and the fix card on a virtual desktop run by openbox, next to a Qt
// program that has the focus.
#include "bar/pill_panel.h"
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "fixcard/fix_card_controller.h"
#include "insertion/atspi_focus_probe.h"
#include "widgets/look.h"
#include "widgets/x11_windows.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

namespace talvo {
namespace {

using K = PillPhase::Kind;
constexpr int answerMs = 10000;

// Never closed: the virtual desktop is gone by the time statics are destroyed.
Display* xDisplay() {
  static Display* const d = XOpenDisplay(nullptr);
  return d;
}

// The process whose window has the keyboard focus.
std::optional<pid_t> focusedPid() {
  Display* d = xDisplay();
  Window focus = None;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  if (focus == None || focus == PointerRoot) return std::nullopt;
  XResClientIdSpec client{focus, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  if (XResQueryClientIds(d, 1, &client, &count, &values) != Success) return std::nullopt;
  std::optional<pid_t> pid;
  for (long i = 0; i < count; ++i)
    if (const pid_t p = XResGetClientPid(&values[i]); p > 0) pid = p;
  XResClientIdsDestroy(count, values);
  return pid;
}

// Where the X server has the window and whether it is mapped.
std::optional<QRect> onScreen(WId window) {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(xDisplay(), Window(window), &a) || a.map_state != IsViewable)
    return std::nullopt;
  int x = 0;
  int y = 0;
  Window child = None;
  XTranslateCoordinates(xDisplay(), Window(window), DefaultRootWindow(xDisplay()), 0, 0, &x, &y,
                        &child);
  return QRect(x, y, a.width, a.height);
}

void clickAt(QPoint at) {
  Display* d = xDisplay();
  XTestFakeMotionEvent(d, -1, at.x(), at.y(), CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
}

bool windowManagerRunning() {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  Display* d = xDisplay();
  XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0,
                     1, False, AnyPropertyType, &type, &format, &items, &after, &data);
  if (data) XFree(data);
  return items > 0;
}

// The windows the window manager manages: what task bars and window switchers list.
std::vector<Window> managedWindows() {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  Display* d = xDisplay();
  XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST", False), 0, 1024,
                     False, XA_WINDOW, &type, &format, &items, &after, &data);
  std::vector<Window> windows;
  if (data && format == 32) {
    const auto* ids = reinterpret_cast<const unsigned long*>(data);
    windows.assign(ids, ids + items);
  }
  if (data) XFree(data);
  return windows;
}

// A window that counts the clicks reaching it.
class Catcher final : public QWidget {
public:
  int presses = 0;

protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

class Desktop : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    windowManager = new QProcess;
    windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(QTest::qWaitFor(windowManagerRunning, answerMs));
    target = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    target->setProcessEnvironment(env);
    target->start(QStringLiteral(TALVO_TEST_TARGET));
    ASSERT_TRUE(target->waitForStarted(answerMs));
    showCatcher();
  }
  static void TearDownTestSuite() {
    delete catcher;
    for (QProcess* p : {target, windowManager}) {
      p->terminate();
      if (!p->waitForFinished(answerMs)) p->kill();
      p->waitForFinished(answerMs);
      delete p;
    }
  }

  // Gives the target the focus, as a user clicking into its line would.
  static void focusTarget() {
    target->write("focus line\n");
    ASSERT_TRUE(QTest::qWaitFor([] { return target->canReadLine(); }, answerMs));
    target->readLine();
    ASSERT_TRUE(QTest::qWaitFor([] { return focusedPid() == targetPid(); }, answerMs));
    // The card returns to the window the window manager names active, which it names a
    // moment after the focus moved: on a loaded machine the card could open in between.
    target->write("window\n");
    ASSERT_TRUE(QTest::qWaitFor([] { return target->canReadLine(); }, answerMs));
    const std::uint64_t window = target->readLine().trimmed().toULongLong();
    const std::shared_ptr<WindowFocus> focus = makeDesktopWindowFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return focus->activeWindow() == window; }, answerMs));
  }
  static pid_t targetPid() { return pid_t(target->processId()); }

  void SetUp() override {
    bar = makeDesktopBar();
    bar->atCursor = false;
    bar->onTap = [this](const PillPhase& p) { taps.push_back(p); };
    catcher->presses = 0;
  }

  // One window under the bar for the whole suite: a magenta box with a red icon.
  static void showCatcher() {
    catcher = new Catcher;
    QPalette colours = catcher->palette();
    colours.setColor(QPalette::Window, catcherColour);
    catcher->setPalette(colours);
    catcher->setAutoFillBackground(true);
    QPixmap icon(48, 48);
    icon.fill(Qt::red);
    catcher->setWindowIcon(QIcon(icon));
    catcher->setGeometry(400, 650, 480, 150);
    catcher->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(catcher, answerMs));
  }

  static QWidget* panel() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (dynamic_cast<PillPanel*>(w)) return w;
    return nullptr;
  }

  static constexpr QRgb catcherColour = 0xffff00ff;
  static inline QProcess* windowManager = nullptr;
  static inline QProcess* target = nullptr;
  test::XKeyboard keyboard;
  std::shared_ptr<PillController> bar;
  std::vector<PillPhase> taps;
  static inline Catcher* catcher = nullptr;
};

TEST_F(Desktop, ListeningShowsTheBarWithoutTakingTheFocus) {
  focusTarget();
  bar->listen();
  QWidget* window = panel();
  ASSERT_TRUE(window);
  // Bottom centre of the 1280 × 800 screen, 12 above its bottom.
  EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(window->winId()) == QRect(530, 728, 220, 60); },
                              answerMs))
      << "bar at " << onScreen(window->winId()).value_or(QRect()).x();
  QTest::qWait(200);  // give a focus change, were there one, time to land
  EXPECT_EQ(focusedPid(), targetPid());
  // Unmanaged: no task-bar entry, no place in the switcher, on every workspace.
  const auto managed = managedWindows();
  EXPECT_FALSE(managed.empty());
  EXPECT_EQ(std::count(managed.begin(), managed.end(), Window(window->winId())), 0);
}

QRgb screenPixel(QPoint at) {
  XImage* image = XGetImage(xDisplay(), DefaultRootWindow(xDisplay()), at.x(), at.y(), 1, 1,
                            AllPlanes, ZPixmap);
  if (!image) return 0;
  const QRgb pixel = 0xff000000u | QRgb(XGetPixel(image, 0, 0));
  XDestroyImage(image);
  return pixel;
}

// Without a compositor the window is cut to the capsule: around it the window below shows,
// not a black or grey box.
TEST_F(Desktop, WithoutACompositorOnlyTheCapsuleCoversTheScreen) {
  bar->listen();
  QWidget* window = panel();
  ASSERT_TRUE(window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(window->winId()).has_value(); }, answerMs));
  QTest::qWait(100);  // let both windows paint
  const QRect frame = *onScreen(window->winId());
  EXPECT_EQ(screenPixel(frame.topLeft() + QPoint(2, 2)), catcherColour);
  EXPECT_EQ(screenPixel(frame.bottomRight() - QPoint(2, 2)), catcherColour);
  EXPECT_NE(screenPixel(frame.center()), catcherColour);
}

TEST_F(Desktop, WithACompositorTheCapsuleIsTranslucent) {
  QProcess compositor;
  compositor.start(QStringLiteral("xcompmgr"));
  ASSERT_TRUE(QTest::qWaitFor(x11::compositorRunning, answerMs));
  bar.reset();  // one bar at a time, and this one made while the compositor runs
  {
    auto translucentBar = makeDesktopBar();
    translucentBar->atCursor = false;
    translucentBar->listen();
    QWidget* window = panel();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(window->winId()).has_value(); }, answerMs));
    QTest::qWait(200);  // let the compositor draw
    const QRect frame = *onScreen(window->winId());
    EXPECT_EQ(screenPixel(frame.topLeft() + QPoint(2, 2)), catcherColour);
    // Inside the capsule, left of the icon: the fill, with the window below showing through.
    const QRgb fill = screenPixel(QPoint(frame.left() + 14, frame.center().y()));
    EXPECT_NE(fill, catcherColour);
    EXPECT_NE(fill, window->palette().color(QPalette::Window).rgb());
    EXPECT_GT(qRed(fill), qGreen(fill));  // tinted by the magenta below
  }
  compositor.terminate();
  compositor.waitForFinished(answerMs);
  ASSERT_TRUE(QTest::qWaitFor([] { return !x11::compositorRunning(); }, answerMs));
}

TEST_F(Desktop, TheBarShowsTheIconOfTheActiveWindow) {
  catcher->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return x11::activeWindow() == catcher->winId(); }, answerMs));
  bar->listen();
  const auto icon = bar->model()->appIcon();
  ASSERT_TRUE(icon);
  EXPECT_GE(icon->width(), 32);
  EXPECT_EQ(icon->pixel(icon->width() / 2, icon->height() / 2), qRgb(255, 0, 0));
}

TEST_F(Desktop, ListeningAtTheCursorPutsTheBarJustBelowIt) {
  focusTarget();
  std::optional<ScreenRect> caret;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (caret = Caret::rect()).has_value(); }, answerMs));
  bar->atCursor = true;
  bar->listen();
  QWidget* window = panel();
  ASSERT_TRUE(window);
  const QRect expected(int(caret->x) - 20, int(caret->y + caret->height) + 2, 220, 60);
  EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(window->winId()) == expected; }, answerMs));
  EXPECT_EQ(focusedPid(), targetPid());
}

struct ClickCase {
  const char* name;
  PillPhase phase;
  bool reachesBar;
};

class BarClick : public Desktop, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(BarClick, GoesToTheBarOnlyWhereItMeansSomething) {
  bar->mode = BarMode::always;
  bar->flash(GetParam().phase);
  QWidget* window = panel();
  ASSERT_TRUE(window);
  ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(window->winId()).has_value(); }, answerMs));
  clickAt(onScreen(window->winId())->center());
  const auto arrived = [&] { return !taps.empty() || catcher->presses > 0; };
  ASSERT_TRUE(QTest::qWaitFor(arrived, answerMs));
  if (GetParam().reachesBar) {
    EXPECT_EQ(taps, std::vector{GetParam().phase});
    EXPECT_EQ(catcher->presses, 0);
  } else {
    EXPECT_TRUE(taps.empty());
    EXPECT_EQ(catcher->presses, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, BarClick,
    ::testing::Values(
        ClickCase{"plainMessage",
                  PillPhase::message("No text box selected", "text.badge.xmark", false), false},
        ClickCase{"clickableMessage", PillPhase::message("Click to copy", "doc.on.clipboard", true),
                  true},
        ClickCase{"resting", PillPhase::of(K::resting), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Desktop, TheCardTakesTheFocusAndGivesItBack) {
  focusTarget();
  FixCardController card(makeDesktopWindowFocus());
  card.show({{"Wakutane", 0.2, true}}, std::nullopt);
  ASSERT_TRUE(QTest::qWaitFor([&] { return focusedPid() == getpid(); }, answerMs));
  card.view()->pick(0);
  keyboard.tap("Escape");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !card.isOpen(); }, answerMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return focusedPid() == targetPid(); }, answerMs));
}

// The window manager's own fallback would pick the last window used; the card names the
// one that was active when it opened.
TEST_F(Desktop, TheCardGivesTheFocusBackEvenAfterAnotherWindowHadIt) {
  focusTarget();
  FixCardController card(makeDesktopWindowFocus());
  card.show({{"Wakutane", 0.2, true}}, std::nullopt);
  ASSERT_TRUE(QTest::qWaitFor([&] { return focusedPid() == getpid(); }, answerMs));
  catcher->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return x11::activeWindow() == catcher->winId(); }, answerMs));
  card.close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return focusedPid() == targetPid(); }, answerMs));
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  return talvo::test::runInVirtualDesktop(argc, argv, {.accessibility = true}, [&] {
    QApplication app(argc, argv);
    talvo::look::useIconTheme();
    return RUN_ALL_TESTS();
  });
}
