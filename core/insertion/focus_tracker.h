#pragma once

#include "insertion/atspi_ref.h"

#include <QDeadlineTimer>

#include <cstdint>
#include <optional>

namespace talvo::atspi {

// Each call on the accessibility bus gives up after this long, so a hung application
// delays a paste by a fraction of a second, not by D-Bus's default 25 s.
inline constexpr int callTimeoutMs = 250;

// What the accessibility bus tells about the keyboard focus.
struct Focus {
  bool busReachable = false;
  bool appFound = false;         // the focused window's application is on the bus
  bool searchTimedOut = false;   // the deadline passed before the search could end
  Ref<AtspiAccessible> element;  // the focused element in it, if any
};

// Follows the bus's focus events, so that a verdict rarely has to search a tree.
class FocusTracker {
public:
  static FocusTracker& instance();

  // The focus in the application of that process (in any application when absent). A
  // search of the trees stops when the deadline passes.
  Focus find(std::optional<int64_t> focusPid, QDeadlineTimer deadline);

private:
  FocusTracker();
  static void onFocus(AtspiEvent* event, void* self);

  bool initialised_ = false;
  Ref<AtspiAccessible> last_;
};

}  // namespace talvo::atspi
