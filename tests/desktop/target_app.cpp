// A window for desktop tests to type and paste into. Reads one command a line on stdin
// and answers one line on stdout (clipboard listings end with "end"):
//   focus line|password|button|edit   give that widget the keyboard focus
//   show line|password|edit           the field's text, percent-encoded
//   frame line                        the line edit's screen frame: x y width height
//   window                            the X window to focus
//   clear                             empty every field
//   copy-rich                         put text/plain and text/html on the clipboard
//   copy TEXT                         put plain text on the clipboard
//   clipboard                         list the clipboard: "type hexdata" lines
//   changed-at line|edit              when the field's text last changed: microseconds of
//                                     the monotonic clock (steady_clock), 0 for never
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextEdit>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>
#include <map>

namespace {

// Targets of the X selection protocol itself, which the toolkit lists among the formats when
// another program owns the clipboard: they never carry the clipboard's contents.
const QStringList selectionProtocol{"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"};

struct Target {
  QWidget window;
  QLineEdit* line = new QLineEdit;
  QLineEdit* password = new QLineEdit;
  QPushButton* button = new QPushButton(QStringLiteral("Press"));
  QTextEdit* edit = new QTextEdit;
  std::map<QString, QWidget*> widgets{
      {"line", line}, {"password", password}, {"button", button}, {"edit", edit}};
  std::map<QString, qint64> changedAt;

  Target() {
    password->setEchoMode(QLineEdit::Password);
    // Taken as the text changes, so that a reader can time when typed text arrived.
    QObject::connect(line, &QLineEdit::textChanged, [this] { changedAt["line"] = now(); });
    QObject::connect(edit, &QTextEdit::textChanged, [this] { changedAt["edit"] = now(); });
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{line, password, button, edit})
      layout->addWidget(w);
    window.setGeometry(100, 100, 400, 300);
    window.show();
  }

  static qint64 now() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  }

  static void say(const QString& answer) {
    std::printf("%s\n", qPrintable(answer));
    std::fflush(stdout);
  }

  QString text(const QString& name) {
    if (name == u"edit") return edit->toPlainText();
    return name == u"password" ? password->text() : line->text();
  }

  void handle(const QString& verb, const QString& rest) {
    QClipboard* clipboard = QApplication::clipboard();
    QWidget* named = widgets.contains(rest) ? widgets.at(rest) : nullptr;
    if (verb == u"focus" && named) {
      window.activateWindow();
      named->setFocus(Qt::OtherFocusReason);
    } else if (verb == u"show") {
      return say(QString::fromLatin1(text(rest).toUtf8().toPercentEncoding()));
    } else if (verb == u"frame" && named) {
      QRect frame(named->mapToGlobal(QPoint(0, 0)), named->size());
      return say(QStringLiteral("%1 %2 %3 %4")
                     .arg(frame.x())
                     .arg(frame.y())
                     .arg(frame.width())
                     .arg(frame.height()));
    } else if (verb == u"changed-at") {
      return say(QString::number(changedAt.contains(rest) ? changedAt.at(rest) : 0));
    } else if (verb == u"window") {
      return say(QString::number(window.winId()));
    } else if (verb == u"clear") {
      line->clear(), password->clear(), edit->clear();
    } else if (verb == u"copy-rich") {
      auto* data = new QMimeData;
      data->setData(QStringLiteral("text/plain"), QByteArrayLiteral("plain old words"));
      data->setData(QStringLiteral("text/html"), QByteArrayLiteral("<b>old</b> words"));
      clipboard->setMimeData(data);
    } else if (verb == u"copy") {
      clipboard->setText(rest);
    } else if (verb == u"clipboard") {
      if (const QMimeData* data = clipboard->mimeData())
        for (const QString& format : data->formats())
          if (!selectionProtocol.contains(format))
            say(format + u' ' + QString::fromLatin1(data->data(format).toHex()));
      return say(QStringLiteral("end"));
    } else {
      return say(QStringLiteral("error"));
    }
    say(QStringLiteral("ok"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // On Wayland, the app id the compositor's rules can match.
  if (const QString appId = qEnvironmentVariable("TALVO_TEST_APP_ID"); !appId.isEmpty())
    QGuiApplication::setDesktopFileName(appId);
  Target target;
  QFile input;
  input.open(0, QIODevice::ReadOnly);
  QSocketNotifier notifier(0, QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
    do {
      QByteArray line = input.readLine();
      if (line.isEmpty()) return QApplication::quit();  // the end of the input
      QString command = QString::fromUtf8(line).trimmed();
      target.handle(command.section(u' ', 0, 0), command.section(u' ', 1));
    } while (input.canReadLine());
  });
  return QApplication::exec();
}
