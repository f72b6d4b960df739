#pragma once

#include <QString>
#include <QStringList>

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
}  // namespace mode

using Mode = std::variant<mode::Replay, mode::RenderIcon, mode::RenderUI, mode::Application>;

// Picks the mode from the whole argument list (the program path included). An option takes
// whatever argument follows it; an option with nothing after it counts as absent.
Mode selectMode(const QStringList& arguments);

}  // namespace talvo
