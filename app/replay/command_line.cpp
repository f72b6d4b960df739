#include "replay/command_line.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace talvo {
namespace {

const std::array valuedOptions{QStringLiteral("--replay"), QStringLiteral("--render-icon"),
                               QStringLiteral("--render-ui")};
// --autostart is read by the desktop program: it was started at login.
const std::array plainOptions{QStringLiteral("--no-ai"),   QStringLiteral("--autostart"),
                              QStringLiteral("--help"),    QStringLiteral("-h"),
                              QStringLiteral("--version"), QStringLiteral("--toggle"),
                              QStringLiteral("--cancel")};

// Qt reads options of its own from the same command line (a session manager restarts the
// program with -session, a user may pick -platform); Qt takes one dash or two.
const std::array qtValuedOptions{QStringLiteral("-platform"),
                                 QStringLiteral("-platformpluginpath"),
                                 QStringLiteral("-platformtheme"),
                                 QStringLiteral("-plugin"),
                                 QStringLiteral("-qwindowgeometry"),
                                 QStringLiteral("-geometry"),
                                 QStringLiteral("-qwindowtitle"),
                                 QStringLiteral("-title"),
                                 QStringLiteral("-qwindowicon"),
                                 QStringLiteral("-icon"),
                                 QStringLiteral("-session"),
                                 QStringLiteral("-display"),
                                 QStringLiteral("-style"),
                                 QStringLiteral("-stylesheet"),
                                 QStringLiteral("-name")};
const std::array qtPlainOptions{QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                                QStringLiteral("-nograb"),  QStringLiteral("-dograb"),
                                QStringLiteral("-sync"),    QStringLiteral("-testability")};
const std::array qtJoinedOptions{QStringLiteral("-style="), QStringLiteral("-stylesheet="),
                                 QStringLiteral("-qmljsdebugger=")};

std::optional<QString> valueOf(const QStringList& arguments, const QString& option) {
  const qsizetype at = arguments.indexOf(option);
  if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
  return arguments[at + 1];
}

template <typename Names>
bool isOneOf(const QString& argument, const Names& names) {
  return std::find(names.begin(), names.end(), argument) != names.end();
}

// How many arguments a Qt option takes up, itself included; 0 for anything else.
int qtOptionLength(const QString& argument) {
  const QString single = argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
  if (isOneOf(single, qtValuedOptions)) return 2;
  if (isOneOf(single, qtPlainOptions)) return 1;
  for (const QString& prefix : qtJoinedOptions)
    if (single.startsWith(prefix)) return 1;
  return 0;
}

// The options given as options, not as another option's value; the first unknown one, if
// any, is returned through `unknown`. Words that are not options are left alone, and so are
// Qt's own options with their values.
QStringList optionsGiven(const QStringList& arguments, std::optional<QString>& unknown) {
  QStringList given;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (const int length = qtOptionLength(argument); length > 0) {
      i += length - 1;
    } else if (isOneOf(argument, valuedOptions)) {
      ++i;  // its value, whatever it looks like
    } else if (isOneOf(argument, plainOptions)) {
      given << argument;
    } else if (argument.startsWith(u'-') && argument.size() > 1 && !unknown) {
      unknown = argument;
    }
  }
  return given;
}

const char* const usage =
    "Usage: talvo [--autostart]\n"
    "       talvo --toggle | --cancel\n"
    "       talvo --replay DIR [--no-ai]\n"
    "       talvo --render-icon DIR\n"
    "       talvo --render-ui DIR\n"
    "       talvo --help | --version\n"
    "\n"
    "Push-to-talk dictation: hold the dictation key, speak, let go, and the text is typed\n"
    "into the focused field. Without a mode, talvo runs on the desktop.\n"
    "\n"
    "Modes:\n"
    "  --replay DIR       play every DIR/*.wav through the recogniser and cleanup, print\n"
    "                     latency and word error rates, write DIR/replay.json\n"
    "  --render-icon DIR  write the icon set into DIR as PNG files\n"
    "  --render-ui DIR    write pictures of the bar, the card and the windows into DIR\n"
    "  --toggle           start or end a dictation in the running talvo; bind it to a\n"
    "                     shortcut where the dictation key cannot be read\n"
    "  --cancel           end the running talvo's dictation without typing anything\n"
    "\n"
    "Options:\n"
    "  --no-ai            with --replay: rule-based cleanup only (replay-rules.json)\n"
    "  --autostart        started at login; the autostart entry adds it\n"
    "  -h, --help         show this help and exit\n"
    "  --version          show the version and build and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME and -session ID, are passed on to Qt.\n";

}  // namespace

Mode selectMode(const QStringList& arguments) {
  std::optional<QString> unknown;
  const QStringList given = optionsGiven(arguments, unknown);
  if (unknown) return mode::BadOption{*unknown};
  if (given.contains(QStringLiteral("--help")) || given.contains(QStringLiteral("-h")))
    return mode::Help{};
  if (given.contains(QStringLiteral("--version"))) return mode::Version{};
  for (const QString& option : given)
    if (auto command = remoteCommandFrom(option.mid(2))) return mode::Remote{*command};
  if (auto directory = valueOf(arguments, QStringLiteral("--replay")))
    return mode::Replay{*directory, !arguments.contains(QStringLiteral("--no-ai"))};
  if (auto path = valueOf(arguments, QStringLiteral("--render-icon")))
    return mode::RenderIcon{*path};
  if (auto path = valueOf(arguments, QStringLiteral("--render-ui"))) return mode::RenderUI{*path};
  return mode::Application{};
}

std::optional<InfoReply> infoReply(const Mode& mode, const QString& version, const QString& build) {
  if (std::holds_alternative<mode::Help>(mode))
    return InfoReply{QString::fromLatin1(usage), false, 0};
  if (std::holds_alternative<mode::Version>(mode)) {
    const QString buildPart =
        build.isEmpty() ? QStringLiteral("no build id") : QStringLiteral("build ") + build;
    return InfoReply{QStringLiteral("talvo %1 (%2)\n").arg(version, buildPart), false, 0};
  }
  if (const auto* bad = std::get_if<mode::BadOption>(&mode))
    return InfoReply{
        QStringLiteral("talvo: unknown option %1\nTry 'talvo --help'.\n").arg(bad->option), true,
        2};
  return std::nullopt;
}

std::optional<int> runInfoMode(const Mode& mode, const QString& version, const QString& build) {
  const std::optional<InfoReply> reply = infoReply(mode, version, build);
  if (!reply) return std::nullopt;
  const QByteArray bytes = reply->text.toLocal8Bit();
  std::FILE* stream = reply->toStandardError ? stderr : stdout;
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
  std::fflush(stream);
  return reply->status;
}

}  // namespace talvo
