#pragma once

#include "insertion/focus_classify.h"
#include "insertion/screen_rect.h"
#include "pipeline/contracts.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace talvo {

class X11Desktop;

// Decides whether the keyboard focus is in something that takes typed text, from the
// accessibility bus and the X server.
class AtspiFocusProbe final : public FocusProbe {
public:
  // Each call on the accessibility bus gives up after this long, so a hung application
  // delays a paste by a fraction of a second, not by D-Bus's default 25 s.
  static constexpr int busTimeoutMs = 250;

  // ownPid: this program's process, whose windows get ownApp; absent skips that check.
  explicit AtspiFocusProbe(std::optional<int64_t> ownPid);
  ~AtspiFocusProbe() override;

  FocusVerdict verdict() override;

  // The role of the element the last verdict looked at; empty when there was none.
  QString lastRole() const { return lastRole_; }

  static FocusVerdict classify(const std::optional<QString>& role, bool valueSettable,
                               bool selectedTextSettable, bool hasSelectionRange) {
    return classifyFocus(role, valueSettable, selectedTextSettable, hasSelectionRange);
  }

private:
  std::unique_ptr<X11Desktop> desktop_;
  std::optional<int64_t> ownPid_;
  QString lastRole_;
};

// Where the text insertion point of the focused element is on screen.
struct Caret {
  static std::optional<ScreenRect> rect();
};

}  // namespace talvo
