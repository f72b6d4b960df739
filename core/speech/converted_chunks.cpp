#include "speech/converted_chunks.h"

namespace talvo::speech {

bool convertInChunks(AudioConverter& converter, const AudioFormat& to, const AudioBuffer& input,
                     const ChunkSink& sink) {
  AudioBuffer output(to, AudioConverter::outputCapacity(to, input));
  bool handed = false;
  const AudioConverter::InputBlock block = [&]() -> const AudioBuffer* {
    if (handed) return nullptr;
    handed = true;
    return &input;
  };
  for (;;) {
    const long made = converter.convert(output, block);
    if (made <= 0) return true;
    if (!sink(output)) return false;
    if (made < long(output.frameCapacity())) return true;
  }
}

bool drainInChunks(AudioConverter& converter, const AudioFormat& to, uint32_t frames,
                   const ChunkSink& sink) {
  AudioBuffer output(to, frames);
  for (;;) {
    const long made = converter.flush(output);
    if (made <= 0) return true;
    if (!sink(output)) return false;
    if (made < long(output.frameCapacity())) return true;
  }
}

}  // namespace talvo::speech
