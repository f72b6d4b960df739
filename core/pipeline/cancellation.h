#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace talvo {

// A one-shot cancellation signal handed to an operation. The operation registers what
// stops its work (abort a request, close a queue); cancel() runs those handlers once.
// A handler registered after cancellation runs at once. Thread-safe; handlers run on
// the thread that cancels (or registers late).
class Cancellation {
public:
  Cancellation() : state_(std::make_shared<State>()) {}

  void cancel() const;
  bool isCancelled() const;
  void onCancel(std::function<void()> handler) const;

private:
  struct State {
    std::mutex lock;
    bool cancelled = false;
    std::vector<std::function<void()>> handlers;
  };
  std::shared_ptr<State> state_;
};

inline void Cancellation::cancel() const {
  std::vector<std::function<void()>> handlers;
  {
    std::lock_guard guard(state_->lock);
    if (state_->cancelled) return;
    state_->cancelled = true;
    handlers.swap(state_->handlers);
  }
  for (auto& handler : handlers) handler();
}

inline bool Cancellation::isCancelled() const {
  std::lock_guard guard(state_->lock);
  return state_->cancelled;
}

inline void Cancellation::onCancel(std::function<void()> handler) const {
  {
    std::lock_guard guard(state_->lock);
    if (!state_->cancelled) {
      state_->handlers.push_back(std::move(handler));
      return;
    }
  }
  handler();
}

}  // namespace talvo
