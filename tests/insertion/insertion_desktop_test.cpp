// The focus probe, the caret and the paste against a real X server with the
// accessibility bus, a Qt window of the tests' own and an xterm.
#include "desktop/child_process.h"
#include "desktop/desktop_main.h"
#include "desktop/virtual_desktop.h"
#include "desktop/x_keyboard.h"
#include "insertion/atspi_focus_probe.h"
#include "insertion/paste_inserter.h"
#include "insertion/qt_clipboard.h"
#include "insertion/x11_paste_sender.h"
#include "support/task_runner.h"

#include <QFile>
#include <QGuiApplication>
#include <QWindow>
#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

namespace talvo {
namespace {

using namespace insert_outcome;
using test::ChildProcess;

constexpr double answerTimeout = 10.0;
constexpr double testRestoreDelay = 0.3;
const QString dictated = QStringLiteral("äöü 🎤");

std::map<std::string, std::string> decodeFields(const std::string& line) {
  std::map<std::string, std::string> fields;
  for (const QString& part : QString::fromStdString(line).split(u' ')) {
    auto name = part.section(u'=', 0, 0).toStdString();
    fields[name] = QByteArray::fromPercentEncoding(part.section(u'=', 1).toLatin1()).toStdString();
  }
  return fields;
}

// The Qt window under test, driven line by line.
class Target {
public:
  Target() {
    ChildProcess::Options options;
    options.pipes = true;
    options.env = {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}};
    process_ = ChildProcess({TALVO_TEST_TARGET}, options);
  }

  std::string ask(const std::string& command) {
    process_.writeLine(command);
    return process_.readLine(answerTimeout).value_or("<no answer>");
  }
  std::vector<std::string> askList(const std::string& command) {
    process_.writeLine(command);
    std::vector<std::string> lines;
    while (auto line = process_.readLine(answerTimeout)) {
      if (*line == "end") break;
      lines.push_back(*line);
    }
    return lines;
  }
  // type -> data, as the target reads the clipboard
  std::map<std::string, QByteArray> clipboard() {
    std::map<std::string, QByteArray> result;
    for (const auto& line : askList("clipboard")) {
      auto space = line.find(' ');
      result[line.substr(0, space)] =
          QByteArray::fromHex(QByteArray::fromStdString(line.substr(space + 1)));
    }
    return result;
  }
  std::string field(const std::string& name) { return decodeFields(ask("show"))[name]; }
  pid_t pid() const { return process_.pid(); }

private:
  ChildProcess process_;
};

class DesktopInsertion : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    target = new Target;
    keyboard = new test::XKeyboard;
    probe = new AtspiFocusProbe(int64_t(getpid()));
  }
  static void TearDownTestSuite() {
    delete probe;
    delete keyboard;
    delete target;
  }

  void SetUp() override {
    ASSERT_EQ(target->ask("clear"), "ok");
    ASSERT_TRUE(keyboard->focusWindowOf(target->pid()));
  }

  // Focus moves and the bus reports it a little later, so wait for the answer.
  FocusVerdict verdictOnceSettled(FocusVerdict expected) {
    FocusVerdict last = FocusVerdict::unknown;
    test::spinUntil([&] { return (last = probe->verdict()) == expected; }, answerTimeout);
    return last;
  }
  void focus(const std::string& widget) {
    ASSERT_TRUE(keyboard->focusWindowOf(target->pid()));
    ASSERT_EQ(target->ask("focus " + widget), "ok");
  }
  std::unique_ptr<PasteInserter> inserter(bool trusted = true) {
    auto clip = clipboard;
    auto sender = std::make_shared<X11PasteSender>(clip, [] { return probe->lastRole(); });
    return std::make_unique<PasteInserter>(
        std::shared_ptr<FocusProbe>(std::shared_ptr<FocusProbe>(), probe), clip, testRestoreDelay,
        [trusted] { return trusted && X11PasteSender::trusted(); },
        [sender] { sender->sendPaste(); });
  }
  bool waitForField(const std::string& name, const QString& value) {
    return test::spinUntil([&] { return target->field(name) == value.toStdString(); }, answerTimeout);
  }

  static inline Target* target = nullptr;
  static inline test::XKeyboard* keyboard = nullptr;
  static inline AtspiFocusProbe* probe = nullptr;
  std::shared_ptr<QtClipboard> clipboard = std::make_shared<QtClipboard>();
};

TEST_F(DesktopInsertion, VerdictsFollowTheFocusedWidget) {
  focus("line");
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  focus("edit");
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  focus("password");
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::secureInput), FocusVerdict::secureInput);
  focus("button");
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::notText), FocusVerdict::notText);
}

TEST_F(DesktopInsertion, OurOwnWindowIsOwnApp) {
  QWindow window;
  window.setGeometry(600, 100, 200, 100);
  window.show();
  ASSERT_TRUE(keyboard->focusWindowOf(getpid()));
  EXPECT_EQ(verdictOnceSettled(FocusVerdict::ownApp), FocusVerdict::ownApp);
  test::KeyboardGrab grab;
  ASSERT_TRUE(grab.held());
  EXPECT_EQ(probe->verdict(), FocusVerdict::secureInput) << "a password prompt wins over our window";
}

TEST_F(DesktopInsertion, AKeyboardGrabIsSecureInput) {
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  test::KeyboardGrab grab;
  ASSERT_TRUE(grab.held());
  EXPECT_EQ(probe->verdict(), FocusVerdict::secureInput);
}

TEST_F(DesktopInsertion, NoAccessibilityBusIsUnknown) {
  focus("button");
  ChildProcess::Options options;
  options.pipes = true;
  options.env = {{"AT_SPI_BUS_ADDRESS", "unix:path=/nonexistent/talvo-no-bus"}};
  ChildProcess tool({TALVO_VERDICT_PROBE}, options);
  EXPECT_EQ(tool.readLine(answerTimeout), std::optional<std::string>("unknown"));
}

TEST_F(DesktopInsertion, CaretLiesInTheLineEdit) {
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  for (const char* key : {"a", "b", "c"}) keyboard->tap(key);
  ASSERT_TRUE(waitForField("line", QStringLiteral("abc")));
  std::optional<ScreenRect> caret;
  ASSERT_TRUE(test::spinUntil([&] { return (caret = Caret::rect()).has_value(); }, answerTimeout));
  double x, y, w, h;
  ASSERT_EQ(std::sscanf(target->ask("frame line").c_str(), "%lf %lf %lf %lf", &x, &y, &w, &h), 4);
  EXPECT_GE(caret->x, x);
  EXPECT_LE(caret->x + caret->width, x + w);
  EXPECT_GE(caret->y, y);
  EXPECT_LE(caret->y + caret->height, y + h);
  EXPECT_GT(caret->x, x + 5) << "the caret is after the typed text, not at the frame's edge";
}

TEST_F(DesktopInsertion, PasteLandsInTheLineEdit) {
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  EXPECT_TRUE(waitForField("line", dictated));
}

TEST_F(DesktopInsertion, TheOldClipboardComesBackByteForByte) {
  ASSERT_EQ(target->ask("copy-rich"), "ok");
  auto before = target->clipboard();
  ASSERT_EQ(before["text/html"], QByteArray("<b>old</b> words"));
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  ASSERT_TRUE(waitForField("line", dictated));
  ASSERT_TRUE(test::spinUntil([&] { return target->clipboard()["text/html"] == before["text/html"]; },
                              answerTimeout));
  auto after = target->clipboard();
  EXPECT_EQ(after["text/plain"], before["text/plain"]);
  EXPECT_EQ(after["text/html"], before["text/html"]);
}

TEST_F(DesktopInsertion, ACopyDuringTheDelayIsLeftAlone) {
  ASSERT_EQ(target->ask("copy-rich"), "ok");
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  ASSERT_TRUE(waitForField("line", dictated));
  ASSERT_EQ(target->ask("copy theirs"), "ok");
  test::spinFor(testRestoreDelay * 2);
  auto now = target->clipboard();
  EXPECT_EQ(now["text/plain"], QByteArray("theirs"));
  EXPECT_EQ(now.count("text/html"), 0u);
}

TEST_F(DesktopInsertion, HeldBackLeavesTheClipboardUntouched) {
  ASSERT_EQ(target->ask("copy-rich"), "ok");
  auto before = target->clipboard();
  for (auto [widget, verdict] : {std::pair{"button", FocusVerdict::notText},
                                 std::pair{"password", FocusVerdict::secureInput}}) {
    focus(widget);
    ASSERT_EQ(verdictOnceSettled(verdict), verdict);
    EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(HeldBack{verdict}));
    test::spinFor(testRestoreDelay);
    EXPECT_EQ(target->clipboard(), before);
  }
  EXPECT_EQ(target->field("password"), "");
}

TEST_F(DesktopInsertion, UntrustedLeavesExactlyThePlainText) {
  focus("line");
  ASSERT_EQ(verdictOnceSettled(FocusVerdict::text), FocusVerdict::text);
  EXPECT_EQ(inserter(false)->insert(dictated), InsertOutcome(CopiedNoPermission{}));
  test::spinFor(testRestoreDelay * 2);
  auto now = target->clipboard();
  EXPECT_EQ(now["text/plain"], dictated.toUtf8());
  for (const auto& [type, data] : now) {
    EXPECT_EQ(type.find("nspasteboard"), std::string::npos) << type;
    EXPECT_EQ(type.find("x-kde"), std::string::npos) << type;
  }
  EXPECT_EQ(target->field("line"), "");
}

TEST_F(DesktopInsertion, PasteLandsInAnXterm) {
  std::string typed = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/xterm-typed";
  ChildProcess::Options options;
  options.env = {{"LC_ALL", "C.UTF-8"}};
  // Raw input so that the pasted characters reach the file without a newline.
  ChildProcess xterm({"xterm", "-u8", "-geometry", "60x5+500+400", "-e", "sh", "-c",
                      "stty -icanon -echo; exec cat > '" + typed + "'"},
                     options);
  ASSERT_TRUE(keyboard->focusWindowOf(xterm.pid()));
  ASSERT_TRUE(test::spinUntil([&] { return keyboard->focusedPid() == xterm.pid(); }, answerTimeout));
  test::spinFor(0.3);  // the shell must have switched the terminal to raw input
  FocusVerdict verdict = probe->verdict();
  EXPECT_TRUE(verdict == FocusVerdict::unknown || verdict == FocusVerdict::text)
      << qPrintable(toString(verdict));
  EXPECT_EQ(inserter()->insert(dictated), InsertOutcome(Pasted{}));
  QString got;
  EXPECT_TRUE(test::spinUntil([&] {
    QFile file(QString::fromStdString(typed));
    if (file.open(QIODevice::ReadOnly)) got = QString::fromUtf8(file.readAll());
    return got == dictated;
  }, answerTimeout)) << qPrintable(got);
}

}  // namespace
}  // namespace talvo

int main(int argc, char** argv) {
  return talvo::test::runInVirtualDesktop(argc, argv, true, [&] {
    qputenv("QT_QPA_PLATFORM", "xcb");
    // This process probes others over the bus; answering the bus itself from the same
    // thread that is waiting for an answer would only stall it.
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
  });
}
