#include "audio/mic/pulse_server.h"
#include "feedback/sound_player.h"
#include "server_events.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

namespace talvo {
namespace {

using test::PulseServer;
using test::ServerEvents;

struct Cue {
  const char* name;
  Sound sound;
  const char* themeEvent;
};

void PrintTo(const Cue& c, std::ostream* out) { *out << c.name; }


class CueTest : public ::testing::TestWithParam<Cue> {};

TEST_P(CueTest, PlaysTheThemeSoundOnTheServer) {
  PulseServer server(PulseServer::outputOnly());
  ASSERT_TRUE(server.running()) << server.log().toStdString();
  ServerEvents events;
  ASSERT_TRUE(events.ready());

  const auto player = makeDesktopSoundPlayer();
  player->play(GetParam().sound);

  EXPECT_TRUE(events.waitFor("'new' on sink-input"));
  // The sound stays in the server's cache under its theme name after it has finished.
  const auto samples = server.run("pactl", {"list", "samples", "short"});
  ASSERT_TRUE(samples.has_value());
  EXPECT_TRUE(samples->contains(GetParam().themeEvent)) << samples->toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cues, CueTest,
                         ::testing::Values(Cue{"start", Sound::tink, "dialog-information"},
                                           Cue{"stop", Sound::pop, "device-removed"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoundPlayerTest, ReconnectsToASoundServerThatRestarted) {
  const auto player = makeDesktopSoundPlayer();
  {
    PulseServer first(PulseServer::outputOnly());
    ASSERT_TRUE(first.running()) << first.log().toStdString();
    ServerEvents events;
    ASSERT_TRUE(events.ready());
    player->play(Sound::tink);
    ASSERT_TRUE(events.waitFor("'new' on sink-input"));
  }
  PulseServer second(PulseServer::outputOnly());
  ASSERT_TRUE(second.running()) << second.log().toStdString();
  ServerEvents events;
  ASSERT_TRUE(events.ready());

  player->play(Sound::pop);

  EXPECT_TRUE(events.waitFor("'new' on sink-input"));
}

TEST(SoundPlayerTest, WithoutASoundServerCuesAreSkipped) {
  QTemporaryDir nowhere;
  qputenv("PULSE_SERVER", ("unix:" + nowhere.filePath("native")).toUtf8());
  auto player = makeDesktopSoundPlayer();

  player->play(Sound::tink);
  player->play(Sound::pop);
  player.reset();  // waits for the cue being tried, so a crash or a hang would show here

  SUCCEED();
}

}  // namespace
}  // namespace talvo
