#pragma once

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <exception>
#include <optional>
#include <variant>
#include <functional>

namespace talvo::test {

namespace detail {
template <typename T, typename Slot>
QCoro::Task<> capture(QCoro::Task<T> task, std::optional<Slot>& value, std::exception_ptr& error,
                      QEventLoop& loop) {
  try {
    if constexpr (std::is_void_v<T>) {
      co_await task;
      value.emplace();
    } else {
      value.emplace(co_await task);
    }
  } catch (...) {
    error = std::current_exception();
  }
  loop.quit();
}
}  // namespace detail

// Runs a task to completion on the current thread's event loop and returns its value or
// rethrows its error. (QCoro::waitFor never returns when the task throws.)
template <typename T>
T run(QCoro::Task<T>&& task) {
  using Slot = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
  std::optional<Slot> value;
  std::exception_ptr error;
  QEventLoop loop;
  detail::capture<T, Slot>(std::move(task), value, error, loop);
  if (!value && !error) loop.exec();  // a quit before exec() would be lost
  if (error) std::rethrow_exception(error);
  if constexpr (!std::is_void_v<T>) return std::move(*value);
}

// Spins the event loop until `done` holds or `seconds` pass; returns whether it held.
inline bool spinUntil(const std::function<bool()>& done, double seconds = 5.0) {
  QElapsedTimer clock;
  clock.start();
  for (; !done(); QCoreApplication::processEvents(QEventLoop::AllEvents, 10))
    if (clock.elapsed() > seconds * 1000) return false;
  return true;
}

// Spins the event loop for `seconds`.
inline void spinFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace talvo::test
