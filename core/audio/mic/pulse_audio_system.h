#pragma once

#include "audio/mic/audio_system.h"

#include <memory>

namespace talvo {

// The sound system through the PulseAudio client API (also served by pipewire-pulse).
// Sources are the devices; their names are the persistent uids, their descriptions the
// names users see, and monitors of outputs have no input channels. Never starts a
// server of its own: an unreachable server simply has no devices.
std::shared_ptr<AudioSystem> makePulseAudioSystem();

}  // namespace talvo
