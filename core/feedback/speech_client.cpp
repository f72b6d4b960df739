#include "feedback/speech_client.h"

#include <libspeechd.h>

#include <cstdlib>

namespace talvo {
namespace {

// Attempts per utterance: the first, and one more on a fresh connection when the old one broke.
constexpr int sayAttempts = 2;

struct ConnectionCloser {
  void operator()(SPDConnection* connection) const { spd_close(connection); }
};
using Connection = std::unique_ptr<SPDConnection, ConnectionCloser>;

// The address comes from the environment (SPEECHD_ADDRESS) or the user's runtime folder, as
// for every other client. Desktops start the service on a client's first call, so we ask for
// that too; it takes about 0.2 s, and only on this worker thread.
Connection connect() {
  char* error = nullptr;
  Connection connection(
      spd_open2("talvo", "read-back", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error));
  // libspeechd allocates the message with malloc.
  std::free(error);  // NOLINT(cppcoreguidelines-no-malloc)
  return connection;
}

}  // namespace

struct SpeechClient::Session {
  Connection connection;
};

SpeechClient::SpeechClient() = default;
SpeechClient::~SpeechClient() = default;

void SpeechClient::say(const QByteArray& utf8) {
  if (utf8.trimmed().isEmpty()) return cancel();
  for (int attempt = 0; attempt < sayAttempts; ++attempt) {
    if (!session_) {
      Connection connection = connect();
      if (!connection) return;
      session_ = std::make_unique<Session>(Session{std::move(connection)});
    }
    if (trySay(utf8)) return;
    session_.reset();
  }
}

void SpeechClient::cancel() {
  if (session_ && spd_cancel(session_->connection.get()) != 0) session_.reset();
}

bool SpeechClient::trySay(const QByteArray& utf8) {
  SPDConnection* connection = session_->connection.get();
  // A new read-back replaces the old one, mid-word if need be: at most one runs at a time.
  if (spd_cancel(connection) != 0) return false;
  return spd_say(connection, SPD_MESSAGE, utf8.constData()) >= 0;
}

}  // namespace talvo
