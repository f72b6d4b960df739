#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QPromise>

#include <memory>

namespace talvo {

namespace detail {
template <typename T>
QCoro::Task<> fulfil(QCoro::Task<T> task, std::shared_ptr<QPromise<T>> promise) {
  if constexpr (std::is_void_v<T>) {
    co_await task;
  } else {
    promise->addResult(co_await task);
  }
  promise->finish();
}
}  // namespace detail

// Starts `task` and returns a handle that any number of coroutines may await, before or
// after it finishes. The task must not throw: a QFuture holding an exception reports itself
// cancelled and never wakes its waiters, so failures travel inside T.
template <typename T>
QFuture<T> share(QCoro::Task<T> task) {
  auto promise = std::make_shared<QPromise<T>>();
  QFuture<T> future = promise->future();
  promise->start();
  detail::fulfil<T>(std::move(task), promise);
  return future;
}

}  // namespace talvo
