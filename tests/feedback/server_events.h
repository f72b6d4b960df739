#pragma once

#include <QProcess>
#include <QString>

namespace talvo::test {

// Follows the events of the sound server named by PULSE_SERVER through `pactl subscribe`.
class ServerEvents {
 public:
  ServerEvents();
  ~ServerEvents();

  // Whether the subscription is live: an event caused after this returns true will be seen.
  [[nodiscard]] bool ready();
  // Waits for an event line containing the text (such as "'new' on sink-input") that came after
  // the one matched last.
  [[nodiscard]] bool waitFor(const QString& text);

 private:
  [[nodiscard]] bool waitFor(const QString& text, int timeoutMs);

  QProcess subscriber_;
  QString seen_;
  qsizetype consumed_ = 0;
};

}  // namespace talvo::test
