#include "audio/mic/pulse_server.h"
#include "feedback/sound_player.h"

#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using test::PulseServer;

// Generous: the machine is shared, and a cue that never comes must fail the test, not hang it.
constexpr int cueTimeoutMs = 20000;

// Cues are played from the server's sample cache, where each stays under its theme event's name
// after it has finished: the names there say which cues reached the server this process points at.
bool played(const char* themeEvent) {
  return QTest::qWaitFor(
      [&] {
        const auto samples = PulseServer::run("pactl", {"list", "samples", "short"});
        return samples && samples->contains(QLatin1String(themeEvent));
      },
      cueTimeoutMs);
}

TEST(SoundPlayerTest, PlaysEachCueAndReconnectsToASoundServerThatRestarted) {
  const auto player = makeDesktopSoundPlayer();
  {
    PulseServer first(PulseServer::outputOnly());
    ASSERT_TRUE(first.running()) << first.log().toStdString();
    player->play(Sound::tink);
    EXPECT_TRUE(played("dialog-information"));
  }
  PulseServer second(PulseServer::outputOnly());
  ASSERT_TRUE(second.running()) << second.log().toStdString();

  player->play(Sound::pop);

  EXPECT_TRUE(played("device-removed"));
}

TEST(SoundPlayerTest, WithoutASoundServerCuesAreSkipped) {
  QTemporaryDir nowhere;
  qputenv("PULSE_SERVER", ("unix:" + nowhere.filePath("native")).toUtf8());
  auto player = makeDesktopSoundPlayer();

  player->play(Sound::tink);
  player->play(Sound::pop);
  player.reset();  // waits for the cue being tried, so a crash or a hang would show here
}

}  // namespace
}  // namespace talvo
