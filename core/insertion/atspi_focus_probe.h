#pragma once

#include "insertion/focus_classify.h"
#include "insertion/focused_window.h"
#include "insertion/screen_rect.h"
#include "pipeline/contracts.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace talvo {

// Decides whether the keyboard focus is in something that takes typed text, from the
// accessibility bus and the window system.
class AtspiFocusProbe final : public FocusProbe {
public:
  // Focus events usually name the focused element; when none has, the verdict searches
  // the application's tree, one bus round trip per element, for at most this long
  // before it settles for unknown. It runs on the main thread, before a paste.
  static constexpr std::chrono::milliseconds defaultSearchTime{100};

  // ownPid: this program's process, whose windows get ownApp; absent skips that check.
  // window: where the focused window's process comes from; the X server's by default.
  explicit AtspiFocusProbe(std::optional<int64_t> ownPid,
                           std::chrono::milliseconds searchTime = defaultSearchTime,
                           std::shared_ptr<FocusedWindow> window = makeX11FocusedWindow());
  AtspiFocusProbe(const AtspiFocusProbe&) = delete;
  AtspiFocusProbe& operator=(const AtspiFocusProbe&) = delete;
  ~AtspiFocusProbe() override;

  FocusVerdict verdict() override;

  // The role of the element the last verdict looked at; empty when there was none.
  QString lastRole() const { return lastRole_; }

private:
  std::shared_ptr<FocusedWindow> window_;
  std::optional<int64_t> ownPid_;
  std::chrono::milliseconds searchTime_;
  QString lastRole_;
};

// Where the text insertion point of the focused element is on screen, with the focused
// window as `window` tells it; the X server's when null.
struct Caret {
  static std::optional<ScreenRect> rect(FocusedWindow* window = nullptr);
};

}  // namespace talvo
