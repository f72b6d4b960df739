#include "audio/file/file_audio_source.h"

#include "pipeline/errors.h"

#include <sndfile.h>

#include <QFileInfo>

#include <pthread.h>

#include <future>
#include <vector>

namespace talvo {
namespace {

// More channels than any real recording has; a header claiming more is damaged.
constexpr int maxChannels = 64;

}  // namespace

struct FileAudioSource::File {
  SNDFILE* handle = nullptr;
  SF_INFO info{};
  std::vector<float> interleaved;
  ~File() {
    if (handle) sf_close(handle);
  }
};

FileAudioSource::FileAudioSource(const QString& path, double speed)
    : file_(std::make_unique<File>()), speed_(speed) {
  const QString name = QFileInfo(path).fileName();
  file_->handle = sf_open(path.toLocal8Bit().constData(), SFM_READ, &file_->info);
  if (!file_->handle)
    throw Error(QStringLiteral("Can't open %1: %2").arg(name, QString::fromUtf8(sf_strerror(nullptr))));
  const SF_INFO& info = file_->info;
  if (info.channels < 1 || info.channels > maxChannels || info.samplerate < 1)
    throw Error(QStringLiteral("Can't open %1: the audio format is not supported.").arg(name));
  format_ = floatFormat(info.samplerate, uint32_t(info.channels));
  file_->interleaved.resize(std::size_t(chunk) * uint32_t(info.channels));
  queue_ = std::thread([this] { runQueue(); });
}

FileAudioSource::~FileAudioSource() {
  playing_ = false;
  {
    std::lock_guard lock(queueMutex_);
    quitting_ = true;
  }
  queueWake_.notify_one();
  if (queue_.get_id() == std::this_thread::get_id())
    queue_.detach();  // destroyed from a handler: the loop sees quitting_ and ends
  else
    queue_.join();
}

double FileAudioSource::duration() const {
  const sf_count_t frames = file_->info.frames;
  if (frames <= 0 || frames == SF_COUNT_MAX) return 0;
  return double(frames) / format_.sampleRate;
}

void FileAudioSource::setOnBuffer(BufferHandler handler) {
  std::lock_guard lock(handlerMutex_);
  onBuffer_ = std::move(handler);
}

void FileAudioSource::setOnFinished(std::function<void()> handler) {
  std::lock_guard lock(handlerMutex_);
  onFinished_ = std::move(handler);
}

void FileAudioSource::start() {
  playing_ = true;
  post([this] {
    if (sf_seek(file_->handle, 0, SEEK_SET) < 0) return;
    deliver();
  });
}

void FileAudioSource::stop() {
  playing_ = false;
  // The queue is serial: once this empty job has run, the delivery loop has ended.
  auto ran = std::make_shared<std::promise<void>>();
  std::future<void> done = ran->get_future();
  post([ran] { ran->set_value(); });
  done.wait();
}

void FileAudioSource::post(Job job) {
  {
    std::lock_guard lock(queueMutex_);
    jobs_.push_back(std::move(job));
  }
  queueWake_.notify_one();
}

void FileAudioSource::runQueue() {
  pthread_setname_np(pthread_self(), "file.audio");
  for (;;) {
    Job job;
    {
      std::unique_lock lock(queueMutex_);
      queueWake_.wait(lock, [this] { return quitting_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

void FileAudioSource::deliver() {
  const uint32_t channels = format_.channels;
  AudioBuffer buffer(format_, chunk);
  const auto began = std::chrono::steady_clock::now();
  std::size_t delivered = 0;
  bool ended = false;
  while (playing_) {
    const sf_count_t got = sf_readf_float(file_->handle, file_->interleaved.data(), chunk);
    if (got <= 0) {  // end of file, or a read failure: either way the pass is over
      ended = true;
      break;
    }
    for (uint32_t ch = 0; ch < channels; ++ch) {
      float* out = buffer.floatChannel(ch);
      for (sf_count_t i = 0; i < got; ++i) out[i] = file_->interleaved[std::size_t(i) * channels + ch];
    }
    buffer.setFrameLength(uint32_t(got));
    {
      std::lock_guard lock(handlerMutex_);
      if (onBuffer_) onBuffer_(buffer);
    }
    delivered += std::size_t(got);
    if (!pace(delivered, began)) break;
  }
  if (!ended) return;
  std::lock_guard lock(handlerMutex_);
  if (onFinished_) onFinished_();
}

// Sleeps until the audio delivered so far is due, measured from the start of the pass so
// that time spent in handlers does not add up. False when the source is going away.
bool FileAudioSource::pace(std::size_t framesSoFar, std::chrono::steady_clock::time_point began) {
  if (speed_ > 0) {
    const std::chrono::duration<double> due(double(framesSoFar) / format_.sampleRate / speed_);
    std::this_thread::sleep_until(began + std::chrono::duration_cast<std::chrono::steady_clock::duration>(due));
  }
  std::lock_guard lock(queueMutex_);
  return !quitting_;
}

}  // namespace talvo
