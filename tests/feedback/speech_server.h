#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace talvo::test {

// A private speech-dispatcher for one test. Its only voice writes "start <text>" to a file when
// an utterance begins and then holds it for ten minutes, so an utterance still runs unless it is
// cut off. This process reaches it through SPEECHD_ADDRESS, and may not start a daemon of its own
// on demand (XDG_CONFIG_HOME disables that), so no other daemon can answer in its place.
class SpeechServer {
public:
  SpeechServer();
  SpeechServer(const SpeechServer&) = delete;
  SpeechServer& operator=(const SpeechServer&) = delete;
  ~SpeechServer() { stop(); }

  // Starts the daemon (again, after stop()) and waits until it takes clients.
  [[nodiscard]] bool start();
  void stop();
  QString log() const;
  // Waits until an utterance of exactly this text has begun.
  [[nodiscard]] bool waitUntilStarted(const QString& text) const;

private:
  QTemporaryDir dir_;
  bool configured_ = false;
  std::unique_ptr<QProcess> daemon_;
};

}  // namespace talvo::test
