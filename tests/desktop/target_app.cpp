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
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextEdit>
#include <QVBoxLayout>

#include <iostream>
#include <string>
#include <unistd.h>

namespace {

struct Target {
  QWidget window;
  QLineEdit* line = new QLineEdit;
  QLineEdit* password = new QLineEdit;
  QPushButton* button = new QPushButton(QStringLiteral("Press"));
  QTextEdit* edit = new QTextEdit;

  Target() {
    password->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{line, password, button, edit}) layout->addWidget(w);
    window.setGeometry(100, 100, 400, 300);
    window.show();
  }

  QWidget* widget(const QString& name) {
    if (name == u"line") return line;
    if (name == u"password") return password;
    if (name == u"button") return button;
    if (name == u"edit") return edit;
    return nullptr;
  }

  QString text(const QString& name) {
    if (name == u"edit") return edit->toPlainText();
    auto* field = qobject_cast<QLineEdit*>(widget(name));
    return field ? field->text() : QString();
  }

  static void say(const QString& answer) { std::cout << answer.toStdString() << std::endl; }

  void handle(const QString& command) {
    QString verb = command.section(u' ', 0, 0);
    QString rest = command.section(u' ', 1);
    QClipboard* clipboard = QApplication::clipboard();
    if (verb == u"focus" && widget(rest)) {
      window.activateWindow();
      widget(rest)->setFocus(Qt::OtherFocusReason);
    } else if (verb == u"show") {
      return say(QString::fromLatin1(text(rest).toUtf8().toPercentEncoding()));
    } else if (verb == u"clear") {
      line->clear();
      password->clear();
      edit->clear();
    } else if (verb == u"frame" && widget(rest)) {
      QRect frame(widget(rest)->mapToGlobal(QPoint(0, 0)), widget(rest)->size());
      return say(QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
    } else if (verb == u"window") {
      return say(QString::number(window.winId()));
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
  Target target;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char chunk[4096];
    ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) return QApplication::quit();
    pending.append(chunk, size_t(n));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      target.handle(QString::fromStdString(pending.substr(0, end)));
      pending.erase(0, end + 1);
    }
  });
  return app.exec();
}
