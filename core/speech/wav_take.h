#pragma once

#include "pipeline/audio_buffer.h"
#include "pipeline/audio_converter.h"

#include <QByteArray>

#include <memory>
#include <mutex>

namespace talvo::speech {

// A take's audio as a 16 kHz mono 16-bit PCM WAV file, written as the buffers arrive so
// that release only has to fill in the header. Each buffer is converted straight into the
// file: the take is never held a second time, in float or at the capture rate.
class WavTake {
public:
  static constexpr double kSampleRate = 16000;
  static constexpr qsizetype kHeaderBytes = 44;
  // Room reserved up front, so that ordinary takes grow the file without reallocating.
  static constexpr double kReservedSeconds = 15.0;

  WavTake();

  // Capture thread, under the feeder's lock: converts and appends. Ignored once closed.
  // A buffer that cannot be converted is dropped, as the recogniser drops it.
  void append(const AudioBuffer& buffer);
  // Ends the take and returns the whole file. Later appends are ignored.
  QByteArray close();
  // Seconds of 16 kHz audio written so far.
  double seconds() const;

private:
  void write(const AudioBuffer& analysis);
  void convert(const AudioBuffer& buffer);
  void drainConverter();

  mutable std::mutex lock_;
  QByteArray file_;
  std::unique_ptr<AudioConverter> converter_;
  bool closed_ = false;
};

// The 44-byte header of a 16 kHz mono 16-bit PCM file holding `dataBytes` of samples.
QByteArray wavHeader(quint32 dataBytes);

}  // namespace talvo::speech
