#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <map>

namespace talvo::test {

// The test window (target_app.cpp) in a process of its own, driven one command a line.
// While it waits for an answer it runs this process's event loop, so that the window
// can ask for our clipboard meanwhile.
class TargetWindow {
public:
  TargetWindow();
  ~TargetWindow();

  // The answer line, or "<no answer>".
  QString ask(const QString& command);
  // What the window reads from the clipboard: type -> data.
  std::map<QString, QByteArray> clipboard();
  // The text of one of its fields: "line", "password" or "edit".
  QString field(const QString& name);
  quint64 window() { return ask("window").toULongLong(); }

private:
  QString readLine();

  QProcess process_;
};

}  // namespace talvo::test
