#include "feedback/theme_cues.h"

#include <canberra.h>

#include <cmath>
#include <string>

namespace talvo {
namespace {

// Cues sound at a quarter of the theme's level, quiet beside whatever the user is listening to.
constexpr double cueAmplitude = 0.25;
// Always the freedesktop theme, whatever the desktop's own: its cues have the lengths chosen below.
constexpr const char* cueTheme = "freedesktop";
// Attempts per cue: the first, and one more on a fresh connection when the old one was lost.
constexpr int playAttempts = 2;

// The start cue is the theme's shortest sound, a single 20 ms tick that is over in 60 ms,
// before the first word. "device-added" would be the natural partner of the stop cue, but its
// second tick comes 160 ms in, where it would sound over (and be recorded with) the first
// syllable. The stop cue plays once recording has ended, so its falling double tick may last.
const char* eventId(Sound sound) {
  switch (sound) {
    case Sound::tink: return "dialog-information";
    case Sound::pop: return "device-removed";
  }
  return "dialog-information";
}

const char* description(Sound sound) {
  return sound == Sound::tink ? "Dictation started" : "Dictation stopped";
}

const std::string& volumeDecibels() {
  static const std::string decibels = std::to_string(20.0 * std::log10(cueAmplitude));
  return decibels;
}

}  // namespace

void ThemeCues::ContextCloser::operator()(ca_context* context) const {
  ca_context_destroy(context);
}

ThemeCues::ThemeCues() = default;
ThemeCues::~ThemeCues() = default;

ThemeCues::Context ThemeCues::open() {
  ca_context* raw = nullptr;
  if (ca_context_create(&raw) != CA_SUCCESS) return nullptr;
  Context context(raw);
  if (ca_context_change_props(raw, CA_PROP_APPLICATION_NAME, "Talvo", CA_PROP_APPLICATION_ID,
                              "org.talvo.Talvo", CA_PROP_CANBERRA_XDG_THEME_NAME, cueTheme,
                              nullptr) != CA_SUCCESS ||
      ca_context_open(raw) != CA_SUCCESS)
    return nullptr;
  return context;
}

void ThemeCues::play(Sound sound) {
  for (int attempt = 0; attempt < playAttempts; ++attempt) {
    if (!tryPlay(sound)) return;
    context_.reset();
  }
}

bool ThemeCues::tryPlay(Sound sound) {
  if (!context_) context_ = open();
  if (!context_) return false;
  // The cues are short and come with every dictation: the server keeps them decoded in its sample
  // cache, so later cues are one request and no file.
  const int result = ca_context_play(context_.get(), 0, CA_PROP_EVENT_ID, eventId(sound),
                                     CA_PROP_EVENT_DESCRIPTION, description(sound),
                                     CA_PROP_CANBERRA_VOLUME, volumeDecibels().c_str(),
                                     CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
  // Success, or a sound the theme lacks: a new connection would not change either.
  return result != CA_SUCCESS && result != CA_ERROR_NOTFOUND && result != CA_ERROR_DISABLED;
}

}  // namespace talvo
