// Stand-ins used until the desktop's sound theme and speech service are wired in.
#include "feedback/sound_player.h"
#include "feedback/speaker.h"

namespace talvo {
namespace {

class SilentPlayer final : public SoundPlayer {
 public:
  void play(Sound) override {}
};

class SilentSpeaker final : public Speaker {
 public:
  void stop() override {}
  void say(const QString&) override {}
};

}  // namespace

std::shared_ptr<SoundPlayer> makeDesktopSoundPlayer() { return std::make_shared<SilentPlayer>(); }
std::shared_ptr<Speaker> makeDesktopSpeaker() { return std::make_shared<SilentSpeaker>(); }

}  // namespace talvo
