#pragma once

#include "speech/sphinx_decoder.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

namespace talvo::speech {

// Loaded decoders waiting for the next session. A session takes one and gives it back
// when it ends, so a press normally pays nothing for loading; a press that overlaps a
// still-finishing dictation loads another. At most `keepIdle` are kept, because each
// holds about 100 MB. Thread-safe.
class DecoderPool {
public:
  DecoderPool(QString folder, std::size_t keepIdle);

  const QString& folder() const { return folder_; }
  // Throws as SphinxDecoder::load does.
  std::unique_ptr<SphinxDecoder> load() const { return SphinxDecoder::load(folder_); }

  // An idle decoder biased towards nothing outside `terms`, or nullptr. Biasing cannot be
  // undone, so when none fits, the idle ones favouring terms since removed are moved to
  // `stale` for the caller to free off the main thread.
  std::unique_ptr<SphinxDecoder> take(const QStringList& terms,
                                      std::vector<std::unique_ptr<SphinxDecoder>>& stale);
  // Keeps the decoder when there is room and returns nullptr; otherwise hands it back
  // so the caller frees it at a moment of its choosing.
  std::unique_ptr<SphinxDecoder> giveBack(std::unique_ptr<SphinxDecoder> decoder);
  std::size_t idleCount() const;

private:
  QString folder_;
  std::size_t keepIdle_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<SphinxDecoder>> idle_;
};

}  // namespace talvo::speech
