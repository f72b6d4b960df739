#include "librivox.h"

#include "audio/file/file_audio_source.h"

#include <QFile>

#include <future>
#include <mutex>

namespace talvo::bench {
namespace {

const QString librivox = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/");

QStringList linesOf(const QString& name) {
  QFile file(librivox + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

QStringList librivoxClips() { return linesOf(QStringLiteral("fileids")); }

QString clipPath(const QString& id) { return librivox + id + QStringLiteral(".wav"); }

QString referenceText(const QString& id) {
  for (const QString& line : linesOf(QStringLiteral("transcription"))) {
    if (!line.endsWith(u'(' + id + u')')) continue;
    QString text = line.left(line.lastIndexOf(u'('));
    return text.remove(QStringLiteral("<s>")).remove(QStringLiteral("</s>")).simplified().toLower();
  }
  return {};
}

std::vector<AudioBuffer> readClip(const QString& path) {
  FileAudioSource source(path, 0);
  std::mutex mutex;
  std::vector<AudioBuffer> buffers;
  std::promise<void> finished;
  source.setOnBuffer([&](const AudioBuffer& b) {
    std::lock_guard lock(mutex);
    buffers.push_back(b.copy());
  });
  source.setOnFinished([&] { finished.set_value(); });
  source.start();
  finished.get_future().wait();
  source.stop();
  return buffers;
}

}  // namespace talvo::bench
