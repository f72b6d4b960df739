#include "replay/command_line.h"

#include <optional>

namespace talvo {
namespace {

std::optional<QString> valueOf(const QStringList& arguments, const QString& option) {
  const qsizetype at = arguments.indexOf(option);
  if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
  return arguments[at + 1];
}

}  // namespace

Mode selectMode(const QStringList& arguments) {
  if (auto directory = valueOf(arguments, QStringLiteral("--replay")))
    return mode::Replay{*directory, !arguments.contains(QStringLiteral("--no-ai"))};
  if (auto path = valueOf(arguments, QStringLiteral("--render-icon"))) return mode::RenderIcon{*path};
  if (auto path = valueOf(arguments, QStringLiteral("--render-ui"))) return mode::RenderUI{*path};
  return mode::Application{};
}

}  // namespace talvo
