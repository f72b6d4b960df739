#include "desktop/target_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace talvo::test {

namespace {
constexpr int answerTimeoutMs = 10000;
}

TargetWindow::TargetWindow() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
  env.insert("QT_QPA_PLATFORM", "xcb");
  process_.setProcessEnvironment(env);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(TALVO_TEST_TARGET, {});
}

TargetWindow::~TargetWindow() {
  process_.closeWriteChannel();  // it quits at the end of its input
  if (!process_.waitForFinished(answerTimeoutMs)) process_.kill();
}

QString TargetWindow::readLine() {
  QDeadlineTimer deadline(answerTimeoutMs);
  while (!process_.canReadLine()) {
    if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
      return QStringLiteral("<no answer>");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    process_.waitForReadyRead(5);
  }
  return QString::fromUtf8(process_.readLine()).trimmed();
}

QString TargetWindow::ask(const QString& command) {
  process_.write((command + u'\n').toUtf8());
  process_.waitForBytesWritten(answerTimeoutMs);
  return readLine();
}

std::map<QString, QByteArray> TargetWindow::clipboard() {
  std::map<QString, QByteArray> types;
  for (QString line = ask("clipboard"); line != u"end" && line != u"<no answer>"; line = readLine())
    types[line.section(u' ', 0, 0)] = QByteArray::fromHex(line.section(u' ', 1).toLatin1());
  return types;
}

QString TargetWindow::field(const QString& name) {
  return QString::fromUtf8(QByteArray::fromPercentEncoding(ask("show " + name).toLatin1()));
}

}  // namespace talvo::test
