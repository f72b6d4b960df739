#pragma once

#include "feedback/sound_player.h"

#include <memory>

struct ca_context;

namespace talvo {

// The cues as events of the freedesktop sound theme, through libcanberra. Each call may block:
// the first one connects to the sound server and uploads the sound, so this belongs on a worker
// thread. A missing sound or sound server is skipped silently, and a connection that was lost or
// never made is tried again on the next cue, so a server that starts after us is still used.
class ThemeCues {
public:
  ThemeCues();
  ~ThemeCues();
  ThemeCues(const ThemeCues&) = delete;
  ThemeCues& operator=(const ThemeCues&) = delete;

  void play(Sound sound);

private:
  struct ContextCloser {
    void operator()(ca_context* context) const;
  };
  using Context = std::unique_ptr<ca_context, ContextCloser>;

  static Context open();
  // Whether it is worth reconnecting and trying once more.
  [[nodiscard]] bool tryPlay(Sound sound);

  Context context_;
};

}  // namespace talvo
