// The focus probe, the caret and the paste against a real X server with a window manager
// and the accessibility bus, a Qt window of the tests' own and an xterm.
#include "desktop/target_window.h"
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "insertion/atspi_focus_probe.h"
#include "insertion/paste_inserter.h"
#include "insertion/qt_clipboard.h"
#include "insertion/x11_paste_sender.h"
#include "support/task_runner.h"

#include <QFile>
#include <QGuiApplication>
#include <QRectF>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using namespace insert_outcome;

constexpr double answerTimeout = 10.0;
constexpr double testRestoreDelay = 0.3;
const QString dictated = QStringLiteral("äöü 🎤");

QString contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class DesktopInsertion : public ::testing::Test {
protected:
  // One window, one keyboard and one probe (which follows focus events) for all tests.
  static void SetUpTestSuite() {
    target = new test::TargetWindow;
    keyboard = new test::XKeyboard;
    probe = new AtspiFocusProbe(QCoreApplication::applicationPid());
  }
  static void TearDownTestSuite() { delete probe, delete keyboard, delete target; }

  void SetUp() override {
    ASSERT_EQ(target->ask("clear"), "ok");
    ASSERT_TRUE(keyboard->focus(target->window()));
  }

  // Focus moves and the bus reports it a little later, so wait for the answer.
  static FocusVerdict verdictOnceSettled(FocusVerdict expected) {
    FocusVerdict last = FocusVerdict::unknown;
    test::spinUntil([&] { return (last = probe->verdict()) == expected; }, answerTimeout);
    return last;
  }
  static void focus(const QString& widget, FocusVerdict expected) {
    ASSERT_TRUE(keyboard->focus(target->window()));
    ASSERT_EQ(target->ask("focus " + widget), "ok");
    ASSERT_EQ(verdictOnceSettled(expected), expected);
  }
  std::unique_ptr<PasteInserter> inserter() {
    auto sender = std::make_shared<X11PasteSender>(clipboard);
    return std::make_unique<PasteInserter>(
        std::shared_ptr<FocusProbe>(std::shared_ptr<FocusProbe>(), probe), clipboard,
        testRestoreDelay, X11PasteSender::trusted,
        [sender] { sender->sendPaste(probe->lastRole()); });
  }
  static bool waitForField(const QString& name, const QString& value) {
    return test::spinUntil([&] { return target->field(name) == value; }, answerTimeout);
  }

  static inline test::TargetWindow* target = nullptr;
  static inline test::XKeyboard* keyboard = nullptr;
  static inline AtspiFocusProbe* probe = nullptr;
  std::shared_ptr<QtClipboard> clipboard = std::make_shared<QtClipboard>();
};

TEST_F(DesktopInsertion, VerdictsFollowTheFocusedWidget) {
  focus("line", FocusVerdict::text);
  focus("edit", FocusVerdict::text);
  focus("password", FocusVerdict::secureInput);
  focus("button", FocusVerdict::notText);
}

TEST_F(DesktopInsertion, OurOwnWindowIsOwnAppAndAGrabWinsOverIt) {
  QWindow window;
  window.setGeometry(600, 100, 200, 100);
  window.show();
  ASSERT_TRUE(keyboard->focus(window.winId()));
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::ownApp), FocusVerdict::ownApp);
  ASSERT_TRUE(keyboard->grab());
  EXPECT_EQ(probe->verdict(), FocusVerdict::secureInput)
      << "a password prompt wins over our window";
  keyboard->ungrab();
}

// A probe in a process of its own has heard no focus event, so it searches the tree. A
// search time of 0 leaves it none; 5000 ms is plenty for a small tree on a busy machine.
struct FreshProbeCase {
  const char* name;
  QString widget, searchMs, busAddress /* replaces the accessibility bus when set */, expected;
};
void PrintTo(const FreshProbeCase& c, std::ostream* out) { *out << c.name; }

class FreshProbe : public DesktopInsertion, public ::testing::WithParamInterface<FreshProbeCase> {};

TEST_P(FreshProbe, Verdict) {
  const FreshProbeCase& c = GetParam();
  ASSERT_EQ(target->ask("focus " + c.widget), "ok");
  QProcess tool;
  if (!c.busAddress.isEmpty())
    tool.setEnvironment(QProcess::systemEnvironment() << "AT_SPI_BUS_ADDRESS=" + c.busAddress);
  tool.start(TALVO_VERDICT_PROBE, {c.searchMs});
  ASSERT_TRUE(test::spinUntil([&] { return tool.state() == QProcess::NotRunning; }, answerTimeout));
  EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()).trimmed(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Search, FreshProbe,
    ::testing::Values(FreshProbeCase{"SearchFindsTheLineEdit", "line", "5000", {}, "text"},
                      FreshProbeCase{"SearchOutOfTimeIsUnknown", "line", "0", {}, "unknown"},
                      FreshProbeCase{"NoAccessibilityBusIsUnknown", "button", "5000",
                                     "unix:path=/nonexistent", "unknown"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesktopInsertion, CaretLiesInTheLineEdit) {
  focus("line", FocusVerdict::text);
  for (const char* key : {"a", "b", "c"}) keyboard->tap(key);
  ASSERT_TRUE(waitForField("line", QStringLiteral("abc")));
  std::optional<ScreenRect> caret;
  ASSERT_TRUE(test::spinUntil([&] { return (caret = Caret::rect()).has_value(); }, answerTimeout));
  QStringList f = target->ask("frame line").split(u' ');
  ASSERT_EQ(f.size(), 4);
  QRectF frame(f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble());
  EXPECT_TRUE(frame.contains(QPointF(caret->x, caret->y)));
  EXPECT_TRUE(frame.contains(QPointF(caret->x + caret->width, caret->y + caret->height)));
  EXPECT_GT(caret->x, frame.x() + 5)
      << "the caret is after the typed text, not at the frame's edge";

  // Under Xwayland the same window is known to the X server, so its caret stays; a native
  // window's place is nobody's to tell.
  EXPECT_TRUE(Caret::rect(makeXwaylandFocusedWindow().get()).has_value());
  struct NativeWindow final : FocusedWindow {
    std::optional<int64_t> pid() override { return std::nullopt; }
    bool placeKnown() override { return false; }
  } native;
  EXPECT_EQ(Caret::rect(&native), std::nullopt);
}

// The toolkit stamps a selection it takes with the time of the last X event it saw. Here
// that is when our own window appeared, while the target copied after a newer key press.
TEST_F(DesktopInsertion, PasteTakesTheClipboardFromANewerCopyAndPutsItBack) {
  {
    QWindow window;
    window.setGeometry(600, 100, 200, 100);
    window.show();
    ASSERT_TRUE(test::spinUntil([&] { return window.isExposed(); }, answerTimeout));
  }
  focus("line", FocusVerdict::text);
  keyboard->tap("x");
  ASSERT_TRUE(waitForField("line", "x"));
  ASSERT_EQ(target->ask("copy-rich"), "ok");
  // Restored by another client, the clipboard also lists X's own targets; the data is what counts.
  auto data = [&] {
    auto now = target->clipboard();
    return std::pair{now["text/plain"], now["text/html"]};
  };
  auto before = data();
  ASSERT_EQ(before.second, QByteArray("<b>old</b> words"));
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  EXPECT_TRUE(waitForField("line", "x" + dictated)) << qPrintable(target->field("line"));
  EXPECT_TRUE(test::spinUntil([&] { return data() == before; }, answerTimeout));
}

TEST_F(DesktopInsertion, ACopyDuringTheDelayIsLeftAlone) {
  ASSERT_EQ(target->ask("copy-rich"), "ok");
  focus("line", FocusVerdict::text);
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  ASSERT_TRUE(waitForField("line", dictated));
  ASSERT_EQ(target->ask("copy theirs"), "ok");
  // Qt fires due timers in the order of their deadlines: once this one has, the restore has.
  bool restoreDue = false;
  QTimer::singleShot(std::chrono::milliseconds(int(testRestoreDelay * 1000) + 20),
                     [&] { restoreDue = true; });
  ASSERT_TRUE(test::spinUntil([&] { return restoreDue; }, answerTimeout));
  auto now = target->clipboard();
  EXPECT_EQ(now["text/plain"], QByteArray("theirs"));
  EXPECT_EQ(now.count("text/html"), 0u);
}

TEST_F(DesktopInsertion, PasteLandsInAnXterm) {
  const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString typed = dir + "/xterm-typed";
  const QString id = dir + "/xterm-id";
  QProcess xterm;
  xterm.setEnvironment(QProcess::systemEnvironment() << "LC_ALL=C.UTF-8");
  // Raw input, so that the pasted characters reach the file without a newline; the file
  // appears once the terminal is raw.
  xterm.start("xterm",
              {"-u8", "-geometry", "60x5+500+400", "-e", "sh", "-c",
               "echo $WINDOWID > '" + id + "'; stty -icanon -echo; exec cat > '" + typed + "'"});
  ASSERT_TRUE(test::spinUntil([&] { return QFile::exists(typed); }, answerTimeout));
  const quint64 window = contents(id).trimmed().toULongLong();
  ASSERT_TRUE(keyboard->focus(window));
  ASSERT_TRUE(test::spinUntil([&] { return keyboard->focused() == window; }, answerTimeout));
  FocusVerdict verdict = probe->verdict();
  EXPECT_TRUE(verdict == FocusVerdict::unknown || verdict == FocusVerdict::text)
      << qPrintable(toString(verdict));
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  EXPECT_TRUE(test::spinUntil([&] { return contents(typed) == dictated; }, answerTimeout))
      << qPrintable(contents(typed));
  xterm.terminate();
  xterm.waitForFinished();
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  return talvo::test::runInVirtualDesktop(argc, argv,
                                          {.accessibility = true, .windowManager = true}, [&] {
                                            qputenv("QT_QPA_PLATFORM", "xcb");
                                            // This process probes others over the bus; answering
                                            // the bus itself from the same thread that is waiting
                                            // for an answer would only stall it.
                                            qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
                                            QGuiApplication app(argc, argv);
                                            return RUN_ALL_TESTS();
                                          });
}
