#pragma once

#include <QByteArray>

#include <memory>

namespace talvo {

// A connection to the desktop's speech service (speech-dispatcher), opened on first use. Each
// call may block, on the socket or while the service is started on demand, so this belongs on a
// worker thread. Without a reachable service every call does nothing; a connection that broke
// (the service restarted) is reopened once and the call tried again.
class SpeechClient {
public:
  SpeechClient();
  ~SpeechClient();
  SpeechClient(const SpeechClient&) = delete;
  SpeechClient& operator=(const SpeechClient&) = delete;

  // Cuts off whatever this client is saying, then says the UTF-8 text. Blank text only cuts off.
  void say(const QByteArray& utf8);
  // Cuts off whatever this client is saying; it never connects just for that.
  void cancel();

private:
  struct Session;

  // Whether the text was handed over.
  [[nodiscard]] bool trySay(const QByteArray& utf8);

  std::unique_ptr<Session> session_;
};

}  // namespace talvo
