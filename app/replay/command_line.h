#pragma once

#include "shell/remote_command.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace talvo {

namespace mode {
struct Replay {
  QString directory;
  bool useAI = true;
  bool operator==(const Replay&) const = default;
};
struct RenderIcon {
  QString path;
  bool operator==(const RenderIcon&) const = default;
};
struct RenderUI {
  QString path;
  bool operator==(const RenderUI&) const = default;
};
struct Application {
  bool operator==(const Application&) const = default;
};
struct Help {
  bool operator==(const Help&) const = default;
};
struct Version {
  bool operator==(const Version&) const = default;
};
// Asks the running program to do this with its dictation, then ends.
struct Remote {
  RemoteCommand command = RemoteCommand::toggle;
  bool operator==(const Remote&) const = default;
};
// An option the program does not know, as it was given.
struct BadOption {
  QString option;
  bool operator==(const BadOption&) const = default;
};
}  // namespace mode

using Mode = std::variant<mode::Replay, mode::RenderIcon, mode::RenderUI, mode::Application,
                          mode::Help, mode::Version, mode::Remote, mode::BadOption>;

// Picks the mode from the whole argument list (the program path included). An option takes
// whatever argument follows it; an option with nothing after it counts as absent. An unknown
// option wins over everything else, then --help, then --version.
Mode selectMode(const QStringList& arguments);

// What a mode that only informs prints: the text, where, and the exit status.
struct InfoReply {
  QString text;
  bool toStandardError = false;
  int status = 0;
  bool operator==(const InfoReply&) const = default;
};

// The reply for --help, --version or an unknown option; none for a mode that does work.
std::optional<InfoReply> infoReply(const Mode& mode, const QString& version, const QString& build);

// Prints the reply for an informing mode and gives its exit status; none for any other mode.
std::optional<int> runInfoMode(const Mode& mode, const QString& version, const QString& build);

}  // namespace talvo
