#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

#include <map>

namespace talvo::test {

// The test window (target_app.cpp) in a process of its own, driven one command a line.
// While it waits for an answer it runs this process's event loop, so that the window can
// ask for our clipboard meanwhile.
class TargetWindow {
public:
  static constexpr int answerTimeoutMs = 10000;

  // platform: Qt's platform plugin, "xcb" or "wayland"; appId: the window's app id there.
  explicit TargetWindow(const QString& platform = "xcb", const QString& appId = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!appId.isEmpty()) env.insert("TALVO_TEST_APP_ID", appId);
    env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    env.insert("QT_QPA_PLATFORM", platform);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(TALVO_TEST_TARGET, {});
  }
  TargetWindow(const TargetWindow&) = delete;
  TargetWindow& operator=(const TargetWindow&) = delete;
  ~TargetWindow() {
    process_.closeWriteChannel();  // it quits at the end of its input
    if (!process_.waitForFinished(answerTimeoutMs)) process_.kill();
  }

  // The answer line, or "<no answer>".
  QString ask(const QString& command) {
    process_.write((command + u'\n').toUtf8());
    process_.waitForBytesWritten(answerTimeoutMs);
    return readLine();
  }
  // What the window reads from the clipboard: type -> data.
  std::map<QString, QByteArray> clipboard() {
    std::map<QString, QByteArray> types;
    for (QString line = ask("clipboard"); line != u"end" && line != u"<no answer>";
         line = readLine())
      types[line.section(u' ', 0, 0)] = QByteArray::fromHex(line.section(u' ', 1).toLatin1());
    return types;
  }
  // The text of one of its fields: "line", "password" or "edit".
  QString field(const QString& name) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(ask("show " + name).toLatin1()));
  }
  quint64 window() { return ask("window").toULongLong(); }
  qint64 pid() const { return process_.processId(); }
  // When the field's text last changed, in microseconds of steady_clock; 0 for never.
  qint64 changedAt(const QString& name) { return ask("changed-at " + name).toLongLong(); }

private:
  QString readLine() {
    for (QDeadlineTimer deadline(answerTimeoutMs); !process_.canReadLine();
         process_.waitForReadyRead(5)) {
      if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
        return QStringLiteral("<no answer>");
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return QString::fromUtf8(process_.readLine()).trimmed();
  }

  QProcess process_;
};

}  // namespace talvo::test
