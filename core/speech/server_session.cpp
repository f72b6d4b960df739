#include "speech/server_session.h"

#include "pipeline/errors.h"
#include "pipeline/with_timeout.h"
#include "speech/server_exchange.h"
#include "storage/log.h"

#include <exception>
#include <optional>

namespace talvo::speech {
namespace {

// The server's transcript, or nothing after one log line saying why not.
QCoro::Task<std::optional<ServerTranscript>> askWithin(double seconds,
                                                       Operation<ServerTranscript> ask) {
  QString failure;
  try {
    co_return co_await withTimeout<ServerTranscript>(seconds, std::move(ask));
  } catch (const TimeoutError&) {
    failure = QStringLiteral("no answer within %1 s").arg(seconds, 0, 'f', 1);
  } catch (...) {
    failure = errorText(std::current_exception());
  }
  Log::info(QStringLiteral("speech server: using the recogniser's text: ") + failure);
  co_return std::nullopt;
}

}  // namespace

std::shared_ptr<ServerSession> ServerSession::wrap(std::shared_ptr<TranscriptionSession> recogniser,
                                                   Target target, std::function<void()> onFailure) {
  return std::shared_ptr<ServerSession>(
      new ServerSession(std::move(recogniser), std::move(target), std::move(onFailure)));
}

ServerSession::ServerSession(std::shared_ptr<TranscriptionSession> recogniser, Target target,
                             std::function<void()> onFailure)
    : recogniser_(std::move(recogniser)),
      target_(std::move(target)),
      onFailure_(std::move(onFailure)) {}

void ServerSession::append(const AudioBuffer& buffer) {
  recogniser_->append(buffer);
  take_.append(buffer);
}

QCoro::Task<QString> ServerSession::finish() {
  const auto self = shared_from_this();
  const double budget = target_.budget.forSeconds(take_.seconds());
  TranscriptionRequest request{target_.endpoint, target_.model, target_.terms, take_.close()};
  Operation<ServerTranscript> ask = [network = target_.network,
                                     request = std::move(request)](Cancellation cancel) {
    return transcribeOnServer(network, request, std::move(cancel));
  };
  // Both run at once: the request is on the wire while the recogniser decodes its tail.
  QCoro::Task<std::optional<ServerTranscript>> asking = askWithin(budget, std::move(ask));

  QString recognised;
  std::exception_ptr failure;
  try {
    QCoro::Task<QString> finishing = recogniser_->finish();
    recognised = co_await finishing;
  } catch (...) {
    failure = std::current_exception();
  }
  std::optional<ServerTranscript> answer = co_await asking;
  if (!answer) {
    if (onFailure_) onFailure_();
    if (failure) std::rethrow_exception(failure);
    co_return recognised;
  }
  {
    std::lock_guard guard(wordsMutex_);
    words_ = std::move(answer->words);
  }
  engine_ = SpeechEngine::server;
  co_return answer->text;
}

QCoro::Task<> ServerSession::cancel() {
  const auto self = shared_from_this();
  take_.close();
  QCoro::Task<> cancelling = recogniser_->cancel();
  co_await cancelling;
}

std::vector<SpokenWord> ServerSession::recognizedWords() const {
  if (engine_.load() != SpeechEngine::server) return recogniser_->recognizedWords();
  std::lock_guard guard(wordsMutex_);
  return words_;
}

}  // namespace talvo::speech
