// A window for desktop tests to type and paste into. Reads one command a line on
// stdin and answers one line on stdout (clipboard listings end with "end").
//   focus line|password|button|edit   give that widget the keyboard focus
//   show                              what each field holds, percent-encoded
//   frame line                        the line edit's screen frame: x y width height
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
#include <QWidget>

#include <cstdio>
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
    for (QWidget* w : {static_cast<QWidget*>(line), static_cast<QWidget*>(password),
                       static_cast<QWidget*>(button), static_cast<QWidget*>(edit)})
      layout->addWidget(w);
    window.setWindowTitle(QStringLiteral("Talvo test target"));
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

  static void say(const QString& line) {
    std::cout << line.toStdString() << std::endl;
  }

  void handle(const QString& command) {
    QString verb = command.section(u' ', 0, 0);
    QString rest = command.section(u' ', 1);
    if (verb == u"focus") {
      QWidget* w = widget(rest);
      if (!w) return say(QStringLiteral("error"));
      window.activateWindow();
      w->setFocus(Qt::OtherFocusReason);
      say(QStringLiteral("ok"));
    } else if (verb == u"show") {
      say(QStringLiteral("line=%1 password=%2 edit=%3")
              .arg(QString::fromLatin1(line->text().toUtf8().toPercentEncoding()),
                   QString::fromLatin1(password->text().toUtf8().toPercentEncoding()),
                   QString::fromLatin1(edit->toPlainText().toUtf8().toPercentEncoding())));
    } else if (verb == u"clear") {
      line->clear();
      password->clear();
      edit->clear();
      say(QStringLiteral("ok"));
    } else if (verb == u"frame") {
      QWidget* w = widget(rest);
      if (!w) return say(QStringLiteral("error"));
      QPoint at = w->mapToGlobal(QPoint(0, 0));
      say(QStringLiteral("%1 %2 %3 %4").arg(at.x()).arg(at.y()).arg(w->width()).arg(w->height()));
    } else if (verb == u"copy-rich") {
      auto* data = new QMimeData;
      data->setData(QStringLiteral("text/plain"), QByteArrayLiteral("plain old words"));
      data->setData(QStringLiteral("text/html"), QByteArrayLiteral("<b>old</b> words"));
      QApplication::clipboard()->setMimeData(data);
      say(QStringLiteral("ok"));
    } else if (verb == u"copy") {
      QApplication::clipboard()->setText(rest);
      say(QStringLiteral("ok"));
    } else if (verb == u"clipboard") {
      if (const QMimeData* data = QApplication::clipboard()->mimeData())
        for (const QString& format : data->formats())
          say(format + u' ' + QString::fromLatin1(data->data(format).toHex()));
      say(QStringLiteral("end"));
    } else {
      say(QStringLiteral("error"));
    }
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
