#pragma once

#include "pipeline/cancellation.h"
#include "pipeline/errors.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QPromise>
#include <QTimer>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace talvo {

// An operation that can be stopped: it receives a Cancellation and registers with it
// whatever ends its work.
template <typename T>
using Operation = std::function<QCoro::Task<T>(Cancellation)>;

namespace detail {

// Shared between withTimeout and the two racers. The promise only signals that the race
// is over; the outcome itself lives here, because a QFuture carrying an exception
// reports itself cancelled and its watchers never see it finish.
template <typename T>
struct Race {
  std::optional<T> value;
  QPromise<void> promise;
  QTimer timer;
  Cancellation cancellation;
  std::exception_ptr error;
  bool settled = false;

  // The first caller wins; later ones are ignored.
  template <typename Fill>
  bool settle(Fill fill) {
    if (settled) return false;
    settled = true;
    timer.stop();
    fill(*this);
    promise.start();
    promise.finish();
    return true;
  }
};

template <typename T>
QCoro::Task<> runRacer(std::shared_ptr<Race<T>> race, Operation<T> operation) {
  try {
    // The task is named rather than awaited as a temporary: g++ 12 can destroy temporaries
    // of a co_await expression twice.
    QCoro::Task<T> running = operation(race->cancellation);
    T value = co_await running;
    race->settle([&](Race<T>& r) { r.value = std::move(value); });
  } catch (...) {
    race->settle([error = std::current_exception()](Race<T>& r) { r.error = error; });
  }
}

}  // namespace detail

// Races `operation` against a timer of `seconds` on a monotonic clock. The operation's
// value or error decides if it finishes first; otherwise TimeoutError is thrown. The loser
// is stopped: the timer is killed, or the operation's Cancellation fires so it stops its
// work (an HTTP request is aborted, for instance). Await it on a thread with an event loop.
template <typename T>
QCoro::Task<T> withTimeout(double seconds, Operation<T> operation) {
  static_assert(!std::is_void_v<T>, "the operation must produce a value");
  auto race = std::make_shared<detail::Race<T>>();
  QFuture<void> over = race->promise.future();

  race->timer.setSingleShot(true);
  race->timer.setTimerType(Qt::PreciseTimer);
  std::weak_ptr<detail::Race<T>> weak = race;
  QObject::connect(&race->timer, &QTimer::timeout, [weak] {
    auto r = weak.lock();
    if (!r) return;
    if (r->settle([](detail::Race<T>& s) { s.error = std::make_exception_ptr(TimeoutError()); }))
      r->cancellation.cancel();
  });
  race->timer.start(std::chrono::milliseconds(std::llround(std::max(0.0, seconds) * 1000.0)));

  // Detached on purpose: the racer owns the shared state and ends when the operation does.
  detail::runRacer<T>(race, std::move(operation));

  co_await over;
  if (race->error) std::rethrow_exception(race->error);
  co_return std::move(*race->value);
}

}  // namespace talvo
