#include "replay/command_line.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(CommandLine, ModeSelection) {
  const std::pair<QStringList, Mode> cases[] = {
      {{"--replay", "clips"}, mode::Replay{"clips", true}},
      {{"--no-ai", "--replay", "clips"}, mode::Replay{"clips", false}},
      // An option takes whatever follows it, even another option.
      {{"--replay", "--no-ai", "clips"}, mode::Replay{"--no-ai", false}},
      {{"--render-ui", "out", "--replay", "clips"}, mode::Replay{"clips", true}},
      {{"--render-icon", "icons"}, mode::RenderIcon{"icons"}},
      {{"--render-ui", "ui"}, mode::RenderUI{"ui"}},
      {{}, mode::Application{}},
      // An option with nothing after it is absent.
      {{"--render-ui", "ui", "--replay"}, mode::RenderUI{"ui"}},
      {{"--replay"}, mode::Application{}},
      {{"--render-icon"}, mode::Application{}},
  };
  for (const auto& [arguments, expected] : cases)
    EXPECT_EQ(selectMode(QStringList{"talvo"} + arguments), expected) << arguments.join(' ').toStdString();
}

}  // namespace
}  // namespace talvo
