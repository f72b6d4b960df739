#pragma once

#include "storage/file_io.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace talvo::sway {

// The message types this program uses, and the event types it listens for. Events carry
// the high bit.
namespace message_type {
inline constexpr uint32_t runCommand = 0;
inline constexpr uint32_t subscribe = 2;
inline constexpr uint32_t getTree = 4;
inline constexpr uint32_t bindingEvent = 0x80000005U;
}  // namespace message_type

struct Message {
  uint32_t type = 0;
  QByteArray payload;
  bool operator==(const Message&) const = default;
};

// A connection to the compositor's IPC socket, whose path is in SWAYSOCK. Replies are
// waited for, briefly; events are read without waiting, when the descriptor is readable.
class Connection {
public:
  // A compositor that does not answer within this long is taken to be gone.
  static constexpr int replyTimeoutMs = 2000;
  // No real message comes near this; a longer one means the stream cannot be trusted.
  static constexpr uint32_t maxPayloadBytes = 16U << 20U;

  // Null, with the reason in `why`, when the socket cannot be reached.
  static std::unique_ptr<Connection> open(const QString& path, QString& why);

  // Runs a command list; empty when every command succeeded, otherwise the first error.
  QString run(const QString& commands);
  bool subscribe(const QStringList& events);
  // Asks and waits for the answer's payload; none when the compositor does not answer.
  std::optional<QByteArray> ask(uint32_t type, const QByteArray& payload = {});
  // The messages that have arrived, read without waiting.
  std::vector<Message> readAvailable();

  // Whether the compositor went away or sent something that is no message. The descriptor
  // stays open, so that nothing else takes its number while it is watched.
  bool broken() const { return broken_; }
  int descriptor() const { return fd_.get(); }

private:
  explicit Connection(file_io::Fd fd) : fd_(std::move(fd)) {}
  bool send(uint32_t type, const QByteArray& payload);
  std::optional<Message> reply(uint32_t type);
  bool fill(bool wait);
  std::optional<Message> take();
  std::optional<Message> breakOff();

  file_io::Fd fd_;
  bool broken_ = false;
  QByteArray buffer_;
  std::vector<Message> events_;  // arrived while a reply was awaited
};

}  // namespace talvo::sway
