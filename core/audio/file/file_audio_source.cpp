#include "audio/file/file_audio_source.h"

#include "pipeline/errors.h"

#include <sndfile.h>

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <vector>

namespace talvo {
namespace {

// More channels than any real recording has; a header claiming more is damaged.
constexpr int maxChannels = 64;

// The open file: a descriptor we checked ourselves, and the decoder reading it.
struct File {
  int fd = -1;
  SNDFILE* handle = nullptr;
  SF_INFO info{};
  File() = default;
  File(const File&) = delete;  // one owner closes the descriptor and the decoder
  File& operator=(const File&) = delete;
  ~File() {
    if (handle) sf_close(handle);
    if (fd >= 0) ::close(fd);
  }
};

// O_NONBLOCK so that a FIFO without a writer cannot hold up the open; the type is checked on
// the descriptor itself, so a file swapped in between cannot slip past.
std::unique_ptr<File> openRegular(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  auto refuse = [&](const QString& why) {
    return Error(QStringLiteral("Can't open %1: %2").arg(name, why));
  };
  auto file = std::make_unique<File>();
  file->fd =
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file->fd < 0) throw refuse(QString::fromLocal8Bit(std::strerror(errno)));
  struct stat info {};
  if (::fstat(file->fd, &info) != 0) throw refuse(QString::fromLocal8Bit(std::strerror(errno)));
  if (!S_ISREG(info.st_mode)) throw refuse(QStringLiteral("not a regular file"));
  ::fcntl(file->fd, F_SETFL, ::fcntl(file->fd, F_GETFL) & ~O_NONBLOCK);
  file->handle = sf_open_fd(file->fd, SFM_READ, &file->info, SF_FALSE);
  if (!file->handle) throw refuse(QString::fromUtf8(sf_strerror(nullptr)));
  const SF_INFO& sf = file->info;
  if (sf.channels < 1 || sf.channels > maxChannels || sf.samplerate < 1)
    throw refuse(QStringLiteral("the audio format is not supported."));
  return file;
}

}  // namespace

// Everything the delivery thread touches. The thread holds it too, so that the source can
// go away while a handler runs on that thread.
struct FileAudioSource::Player {
  using Job = std::function<void(Player&)>;

  Player(std::unique_ptr<File> f, AudioFormat fmt, double s)
      : file(std::move(f)), format(fmt), speed(s), interleaved(std::size_t(chunk) * fmt.channels) {}

  void post(Job job);
  void quit();
  void run();
  void deliver();
  void finished();
  bool pace(std::size_t framesSoFar, std::chrono::steady_clock::time_point began);

  const std::unique_ptr<File> file;
  const AudioFormat format;
  const double speed;
  std::vector<float> interleaved;
  std::atomic<bool> playing{false};

  std::mutex handlerMutex;
  BufferHandler onBuffer;
  std::function<void()> onFinished;

  std::mutex queueMutex;
  std::condition_variable wake;
  std::deque<Job> jobs;
  bool quitting = false;
};

FileAudioSource::FileAudioSource(const QString& path, double speed) {
  std::unique_ptr<File> file = openRegular(path);
  const SF_INFO& info = file->info;
  format_ = floatFormat(info.samplerate, uint32_t(info.channels));
  if (info.frames > 0 && info.frames != SF_COUNT_MAX)
    duration_ = double(info.frames) / info.samplerate;
  player_ = std::make_shared<Player>(std::move(file), format_, speed);
  thread_ = std::thread([player = player_] { player->run(); });
}

FileAudioSource::~FileAudioSource() {
  player_->quit();
  if (thread_.get_id() == std::this_thread::get_id())
    thread_.detach();  // the thread keeps the player and ends once the current handler returns
  else
    thread_.join();
}

void FileAudioSource::setOnBuffer(BufferHandler handler) {
  std::lock_guard lock(player_->handlerMutex);
  player_->onBuffer = std::move(handler);
}

void FileAudioSource::setOnFinished(std::function<void()> handler) {
  std::lock_guard lock(player_->handlerMutex);
  player_->onFinished = std::move(handler);
}

bool FileAudioSource::playing() const { return player_->playing; }

void FileAudioSource::start() {
  player_->playing = true;
  player_->post([](Player& p) {
    if (sf_seek(p.file->handle, 0, SEEK_SET) < 0) return p.finished();
    p.deliver();
  });
}

void FileAudioSource::stop() {
  player_->playing = false;
  // The queue is serial: once this empty job has run, the delivery loop has ended.
  auto ran = std::make_shared<std::promise<void>>();
  std::future<void> done = ran->get_future();
  player_->post([ran](Player&) { ran->set_value(); });
  done.wait();
}

// Notified under the lock: once it is released, the delivery thread may end and take the
// player (and this condition variable) with it.
void FileAudioSource::Player::post(Job job) {
  std::lock_guard lock(queueMutex);
  jobs.push_back(std::move(job));
  wake.notify_one();
}

void FileAudioSource::Player::quit() {
  playing = false;
  std::lock_guard lock(queueMutex);
  quitting = true;
  wake.notify_one();
}

void FileAudioSource::Player::run() {
  pthread_setname_np(pthread_self(), "file.audio");
  for (;;) {
    Job job;
    {
      std::unique_lock lock(queueMutex);
      wake.wait(lock, [this] { return quitting || !jobs.empty(); });
      if (quitting) return;
      job = std::move(jobs.front());
      jobs.pop_front();
    }
    job(*this);
  }
}

void FileAudioSource::Player::deliver() {
  const uint32_t channels = format.channels;
  AudioBuffer buffer(format, chunk);
  const auto began = std::chrono::steady_clock::now();
  std::size_t delivered = 0;
  while (playing) {
    const sf_count_t got = sf_readf_float(file->handle, interleaved.data(), chunk);
    if (got <= 0) return finished();  // end of file, or a read failure: the pass is over
    for (uint32_t ch = 0; ch < channels; ++ch) {
      float* out = buffer.floatChannel(ch);
      for (sf_count_t i = 0; i < got; ++i) out[i] = interleaved[std::size_t(i) * channels + ch];
    }
    buffer.setFrameLength(uint32_t(got));
    {
      std::lock_guard lock(handlerMutex);
      if (onBuffer) onBuffer(buffer);
    }
    delivered += std::size_t(got);
    if (!pace(delivered, began)) return;
  }
}

void FileAudioSource::Player::finished() {
  std::lock_guard lock(handlerMutex);
  if (onFinished) onFinished();
}

// Sleeps until the audio delivered so far is due, measured from the start of the pass so
// that time spent in handlers does not add up. False when the source is going away.
bool FileAudioSource::Player::pace(std::size_t framesSoFar,
                                   std::chrono::steady_clock::time_point began) {
  if (speed > 0) {
    const std::chrono::duration<double> due(double(framesSoFar) / format.sampleRate / speed);
    std::this_thread::sleep_until(
        began + std::chrono::duration_cast<std::chrono::steady_clock::duration>(due));
  }
  std::lock_guard lock(queueMutex);
  return !quitting;
}

}  // namespace talvo
