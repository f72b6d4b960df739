#pragma once

#include "pipeline/audio_converter.h"

#include <functional>

namespace talvo::speech {

// Takes one converted chunk; false stops the conversion (a cancelled session, say).
using ChunkSink = std::function<bool(const AudioBuffer&)>;

// Converts `input` to `to` and hands the result to `sink` in chunks of at most one
// output buffer. False when the sink stopped it.
bool convertInChunks(AudioConverter& converter, const AudioFormat& to, const AudioBuffer& input,
                     const ChunkSink& sink);

// End of stream: hands the converter's remaining output to `sink` in chunks of `frames`.
bool drainInChunks(AudioConverter& converter, const AudioFormat& to, uint32_t frames,
                   const ChunkSink& sink);

}  // namespace talvo::speech
