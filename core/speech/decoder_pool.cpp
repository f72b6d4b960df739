#include "speech/decoder_pool.h"

#include <algorithm>

namespace talvo::speech {

DecoderPool::DecoderPool(QString folder, std::size_t keepIdle)
    : folder_(std::move(folder)), keepIdle_(keepIdle) {}

std::unique_ptr<SphinxDecoder> DecoderPool::take(
    const QStringList& terms, std::vector<std::unique_ptr<SphinxDecoder>>& stale) {
  QSet<QString> wanted;
  for (const QString& term : terms) wanted.insert(term.simplified());
  std::lock_guard lock(mutex_);
  for (auto it = idle_.begin(); it != idle_.end(); ++it) {
    const QSet<QString>& favoured = (*it)->favouredTerms();
    if (!std::all_of(favoured.begin(), favoured.end(),
                     [&](const QString& term) { return wanted.contains(term); }))
      continue;
    auto decoder = std::move(*it);
    idle_.erase(it);
    return decoder;
  }
  for (auto& decoder : idle_) stale.push_back(std::move(decoder));
  idle_.clear();
  return nullptr;
}

std::unique_ptr<SphinxDecoder> DecoderPool::giveBack(std::unique_ptr<SphinxDecoder> decoder) {
  if (!decoder) return nullptr;
  std::lock_guard lock(mutex_);
  if (idle_.size() >= keepIdle_) return decoder;
  idle_.push_back(std::move(decoder));
  return nullptr;
}

std::size_t DecoderPool::idleCount() const {
  std::lock_guard lock(mutex_);
  return idle_.size();
}

}  // namespace talvo::speech
