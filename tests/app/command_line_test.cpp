#include "replay/command_line.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

Mode pick(std::initializer_list<const char*> args) {
  QStringList list{"talvo"};
  for (const char* a : args) list << a;
  return selectMode(list);
}

TEST(CommandLine, ModeSelection) {
  EXPECT_EQ(pick({"--replay", "clips"}), Mode(mode::Replay{"clips", true}));
  EXPECT_EQ(pick({"--no-ai", "--replay", "clips"}), Mode(mode::Replay{"clips", false}));
  // The option takes whatever follows it, even another option.
  EXPECT_EQ(pick({"--replay", "--no-ai", "clips"}), Mode(mode::Replay{"--no-ai", false}));
  EXPECT_EQ(pick({"--render-ui", "out", "--replay", "clips"}), Mode(mode::Replay{"clips", true}));
  EXPECT_EQ(pick({"--render-icon", "icons"}), Mode(mode::RenderIcon{"icons"}));
  EXPECT_EQ(pick({"--render-ui", "ui"}), Mode(mode::RenderUI{"ui"}));
  EXPECT_EQ(pick({}), Mode(mode::Application{}));
}

TEST(CommandLine, AnOptionWithoutValueIsAbsent) {
  EXPECT_EQ(pick({"--render-ui", "ui", "--replay"}), Mode(mode::RenderUI{"ui"}));
  EXPECT_EQ(pick({"--replay"}), Mode(mode::Application{}));
  EXPECT_EQ(pick({"--render-icon"}), Mode(mode::Application{}));
}

}  // namespace
}  // namespace talvo
