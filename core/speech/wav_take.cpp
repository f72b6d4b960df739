#include "speech/wav_take.h"

#include "speech/converted_chunks.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace talvo::speech {
namespace {

constexpr quint16 kBitsPerSample = 16;
constexpr quint32 kBytesPerSecond = quint32(WavTake::kSampleRate) * (kBitsPerSample / 8);
constexpr uint32_t kDrainFrames = 4096;

AudioFormat fileFormat() { return floatFormat(WavTake::kSampleRate, 1); }

template <typename T>
void put(QByteArray& out, T value) {
  const T little = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

qint16 toSample(float value) {
  return qint16(std::lrint(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}

}  // namespace

QByteArray wavHeader(quint32 dataBytes) {
  QByteArray header;
  header.reserve(WavTake::kHeaderBytes);
  header.append("RIFF");
  put<quint32>(header, 36 + dataBytes);
  header.append("WAVEfmt ");
  put<quint32>(header, 16);  // size of the format chunk
  put<quint16>(header, 1);   // integer PCM
  put<quint16>(header, 1);   // channels
  put<quint32>(header, quint32(WavTake::kSampleRate));
  put<quint32>(header, kBytesPerSecond);
  put<quint16>(header, kBitsPerSample / 8);  // bytes per frame
  put<quint16>(header, kBitsPerSample);
  header.append("data");
  put<quint32>(header, dataBytes);
  return header;
}

WavTake::WavTake() {
  file_.reserve(kHeaderBytes + qsizetype(kReservedSeconds * kBytesPerSecond));
  file_.append(wavHeader(0));
}

void WavTake::append(const AudioBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  std::lock_guard guard(lock_);
  if (closed_) return;
  if (buffer.format() == fileFormat()) {
    write(buffer);
    return;
  }
  if (!converter_ || converter_->inputFormat() != buffer.format()) {
    drainConverter();
    converter_ = AudioConverter::create(buffer.format(), fileFormat());
    if (!converter_) return;
  }
  convert(buffer);
}

void WavTake::write(const AudioBuffer& analysis) {
  const float* samples = analysis.floatChannel(0);
  if (!samples) return;
  const qsizetype start = file_.size();
  file_.resize(start + qsizetype(analysis.frameLength()) * 2);
  char* out = file_.data() + start;
  for (uint32_t i = 0; i < analysis.frameLength(); ++i, out += 2)
    qToLittleEndian<qint16>(toSample(samples[i]), out);
}

void WavTake::convert(const AudioBuffer& buffer) {
  convertInChunks(*converter_, fileFormat(), buffer, [this](const AudioBuffer& chunk) {
    write(chunk);
    return true;
  });
}

void WavTake::drainConverter() {
  if (!converter_) return;
  drainInChunks(*converter_, fileFormat(), kDrainFrames, [this](const AudioBuffer& chunk) {
    write(chunk);
    return true;
  });
  converter_.reset();
}

QByteArray WavTake::close() {
  std::lock_guard guard(lock_);
  if (!closed_) {
    drainConverter();
    closed_ = true;
    const auto dataBytes = quint32(file_.size() - kHeaderBytes);
    file_.replace(0, kHeaderBytes, wavHeader(dataBytes));
  }
  return file_;
}

double WavTake::seconds() const {
  std::lock_guard guard(lock_);
  return double(file_.size() - kHeaderBytes) / kBytesPerSecond;
}

}  // namespace talvo::speech
