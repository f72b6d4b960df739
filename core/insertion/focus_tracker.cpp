#include "insertion/focus_tracker.h"

#include <algorithm>
#include <deque>

namespace talvo::atspi {

namespace {

// Lends each step of a search what is left of its deadline as the per-call timeout, so
// that one hung application cannot stretch the search far past it.
class CallBudget {
public:
  explicit CallBudget(QDeadlineTimer deadline) : deadline_(deadline) {}
  ~CallBudget() { atspi_set_timeout(callTimeoutMs, callTimeoutMs); }
  CallBudget(const CallBudget&) = delete;
  CallBudget& operator=(const CallBudget&) = delete;

  // False once the deadline has passed.
  [[nodiscard]] bool next() {
    qint64 left = deadline_.remainingTime();  // -1: no deadline
    if (left == 0) return false;
    qint64 timeout = left < 0 ? callTimeoutMs : std::clamp<qint64>(left, 1, callTimeoutMs);
    atspi_set_timeout(int(timeout), callTimeoutMs);
    return true;
  }

private:
  QDeadlineTimer deadline_;
};

struct Search {
  Ref<AtspiAccessible> found;
  bool timedOut = false;
};

// Breadth-first through showing elements for the one that holds the focus.
Search searchTree(AtspiAccessible* app, CallBudget& budget) {
  std::deque<Ref<AtspiAccessible>> queue;
  queue.push_back(share(app));
  while (!queue.empty()) {
    if (!budget.next()) return {{}, true};
    Ref<AtspiAccessible> current = queue.front();
    queue.pop_front();
    if (current.get() != app) {
      atspi_accessible_clear_cache(current.get());
      Ref<AtspiStateSet> states(atspi_accessible_get_state_set(current.get()));
      if (!states) continue;
      if (atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)) return {current, false};
      if (!atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)) continue;
    }
    int count = atspi_accessible_get_child_count(current.get(), nullptr);
    for (int i = 0; i < count; ++i)
      if (AtspiAccessible* child = atspi_accessible_get_child_at_index(current.get(), i, nullptr))
        queue.emplace_back(child);
  }
  return {};
}

bool stillFocused(AtspiAccessible* element, std::optional<int64_t> focusPid) {
  if (focusPid && processOf(element) != focusPid) return false;
  return hasState(element, ATSPI_STATE_FOCUSED);
}

}  // namespace

FocusTracker& FocusTracker::instance() {
  // Never destroyed: the bus connection lives as long as the process.
  static auto* tracker = new FocusTracker;
  return *tracker;
}

FocusTracker::FocusTracker() {
  if (atspi_init() > 1) return;  // 0: now initialised, 1: already was
  atspi_set_timeout(callTimeoutMs, callTimeoutMs);
  initialised_ = true;
  // Without focus events every verdict searches the trees, which still works, only slower.
  AtspiEventListener* listener = atspi_event_listener_new(&FocusTracker::onFocus, this, nullptr);
  if (!atspi_event_listener_register(listener, "object:state-changed:focused", nullptr))
    g_object_unref(listener);
}

void FocusTracker::onFocus(AtspiEvent* event, void* self) {
  auto* tracker = static_cast<FocusTracker*>(self);
  if (event->detail1 == 1 && event->source) tracker->last_ = share(event->source);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

Focus FocusTracker::find(std::optional<int64_t> focusPid, QDeadlineTimer deadline) {
  Focus focus;
  if (!initialised_) return focus;
  Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
  ErrorBox error;
  int apps = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : -1;
  if (error.failed() || apps < 0) return focus;
  focus.busReachable = true;
  if (last_ && stillFocused(last_.get(), focusPid)) {
    focus.appFound = true;
    focus.element = last_;
    return focus;
  }
  CallBudget budget(deadline);
  for (int i = 0; i < apps && !focus.appFound; ++i) {
    if (!budget.next()) {
      focus.searchTimedOut = true;
      return focus;
    }
    Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (!app) continue;
    if (focusPid && processOf(app.get()) != focusPid) continue;
    Search search = searchTree(app.get(), budget);
    focus.searchTimedOut = search.timedOut;
    focus.appFound = bool(search.found) || (focusPid && !search.timedOut);
    focus.element = search.found;
    if (search.timedOut) return focus;
  }
  if (focus.element) last_ = focus.element;
  return focus;
}

}  // namespace talvo::atspi
