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
      {{"--autostart"}, mode::Application{}},
      {{"--autostart", "--render-ui", "ui"}, mode::RenderUI{"ui"}},
      // An option with nothing after it is absent.
      {{"--render-ui", "ui", "--replay"}, mode::RenderUI{"ui"}},
      {{"--replay"}, mode::Application{}},
      {{"--render-icon"}, mode::Application{}},
      // Help and version win over the modes, help over version.
      {{"--replay", "clips", "--help"}, mode::Help{}},
      {{"-h"}, mode::Help{}},
      {{"--version", "--help"}, mode::Help{}},
      {{"--render-ui", "ui", "--version"}, mode::Version{}},
      // ...but not when they are an option's value.
      {{"--replay", "--help"}, mode::Replay{"--help", true}},
      {{"--render-icon", "--version"}, mode::RenderIcon{"--version"}},
      {{"--replay", "-x"}, mode::Replay{"-x", true}},
      // An unknown option wins over everything; the first one is named.
      {{"--replay", "clips", "--no-al"}, mode::BadOption{"--no-al"}},
      {{"--help", "-v", "--bogus"}, mode::BadOption{"-v"}},
      {{"--version=2"}, mode::BadOption{"--version=2"}},
      {{"--"}, mode::BadOption{"--"}},
      {{"--toggle"}, mode::Remote{RemoteCommand::toggle}},
      {{"--replay", "clips", "--cancel"}, mode::Remote{RemoteCommand::cancel}},
      {{"--toggle", "--version"}, mode::Version{}},
      {{"--press"}, mode::BadOption{"--press"}},
      // Qt's options are Qt's, with their values, in either spelling.
      {{"-session", "1a2b", "--autostart"}, mode::Application{}},
      {{"--platform", "offscreen", "--replay", "clips"}, mode::Replay{"clips", true}},
      {{"-style=fusion", "-reverse", "-title", "-x"}, mode::Application{}},
      {{"-platformx"}, mode::BadOption{"-platformx"}},
      // Words that are not options are left alone, "-" among them.
      {{"clips", "-"}, mode::Application{}},
  };
  for (const auto& [arguments, expected] : cases)
    EXPECT_EQ(selectMode(QStringList{"talvo"} + arguments), expected)
        << arguments.join(' ').toStdString();
}

TEST(CommandLine, InformingModesReplyWithTextAndStatus) {
  const auto help = infoReply(mode::Help{}, "1.2.3", "");
  ASSERT_TRUE(help);
  EXPECT_FALSE(help->toStandardError);
  EXPECT_EQ(help->status, 0);
  for (const char* option : {"--replay DIR", "--no-ai", "--render-icon DIR", "--render-ui DIR",
                             "--autostart", "--help", "--version", "--toggle", "--cancel"})
    EXPECT_TRUE(help->text.contains(option)) << option;

  EXPECT_EQ(infoReply(mode::Version{}, "1.2.3", "ci-42"),
            (InfoReply{"talvo 1.2.3 (build ci-42)\n", false, 0}));
  EXPECT_EQ(infoReply(mode::Version{}, "dev", ""),
            (InfoReply{"talvo dev (no build id)\n", false, 0}));

  const auto bad = infoReply(mode::BadOption{"--frobnicate"}, "1.2.3", "");
  ASSERT_TRUE(bad);
  EXPECT_TRUE(bad->toStandardError && bad->status == 2 &&
              bad->text.contains("unknown option --frobnicate"))
      << bad->text.toStdString();

  for (const Mode& working : {Mode{mode::Application{}}, Mode{mode::Replay{"clips", true}},
                              Mode{mode::RenderIcon{"icons"}}, Mode{mode::RenderUI{"ui"}}})
    EXPECT_FALSE(infoReply(working, "1.2.3", "x"));
}

}  // namespace
}  // namespace talvo
