#pragma once

#include <memory>

namespace talvo {

// The two cues of a dictation: one when listening starts, one when it stops.
enum class Sound { tink, pop };

// Plays short event sounds. Playing never blocks and never fails loudly: a cue that cannot be
// played is simply not heard.
class SoundPlayer {
public:
  virtual ~SoundPlayer() = default;
  virtual void play(Sound sound) = 0;
};

// The desktop's sound theme, or a player that stays silent where there is none.
std::shared_ptr<SoundPlayer> makeDesktopSoundPlayer();

}  // namespace talvo
