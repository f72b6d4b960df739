#include "wav_clips.h"

#include "audio/file/file_audio_source.h"

#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace talvo::test {

QString librivoxFolder() {
  return QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");
}

QStringList librivoxClips() {
  QFile file(librivoxFolder() + QStringLiteral("/fileids"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QString clipPath(const QString& id) {
  return librivoxFolder() + u'/' + id + QStringLiteral(".wav");
}

QString referenceText(const QString& id) {
  QFile file(librivoxFolder() + QStringLiteral("/transcription"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
    if (!line.endsWith(u'(' + id + u')')) continue;
    QString text = line.left(line.lastIndexOf(u'('));
    text.remove(QStringLiteral("<s>")).remove(QStringLiteral("</s>"));
    return text.simplified().toLower();
  }
  return {};
}

std::vector<AudioBuffer> readClip(const QString& path) {
  FileAudioSource source(path, 0);
  std::mutex mutex;
  std::vector<AudioBuffer> buffers;
  std::atomic<bool> finished{false};
  source.setOnBuffer([&](const AudioBuffer& b) {
    std::lock_guard lock(mutex);
    buffers.push_back(b.copy());
  });
  source.setOnFinished([&] { finished = true; });
  source.start();
  while (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  source.stop();
  return buffers;
}

double wordErrorRate(const QString& reference, const QString& hypothesis) {
  static const QRegularExpression space(QStringLiteral("\\s+"));
  const QStringList ref = reference.toLower().split(space, Qt::SkipEmptyParts);
  const QStringList hyp = hypothesis.toLower().split(space, Qt::SkipEmptyParts);
  if (ref.isEmpty()) return hyp.isEmpty() ? 0.0 : 1.0;
  std::vector<int> previous(hyp.size() + 1), current(hyp.size() + 1);
  for (qsizetype j = 0; j <= hyp.size(); ++j) previous[j] = int(j);
  for (qsizetype i = 1; i <= ref.size(); ++i) {
    current[0] = int(i);
    for (qsizetype j = 1; j <= hyp.size(); ++j) {
      const int substitute = previous[j - 1] + (ref[i - 1] == hyp[j - 1] ? 0 : 1);
      current[j] = std::min({substitute, previous[j] + 1, current[j - 1] + 1});
    }
    std::swap(previous, current);
  }
  return double(previous[hyp.size()]) / double(ref.size());
}

}  // namespace talvo::test
