#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace talvo {

// The first-run set-up's steps, in the order they are walked.
enum class SetupStep { welcome = 0, microphone = 1, pasting = 2, fnKey = 3, tryIt = 4, done = 5 };

inline constexpr int setupStepCount = 6;

// None for a number outside the steps.
std::optional<SetupStep> setupStepFromIndex(int index);

// The step reached from `current` by `delta` (+1 next, -1 back). The globe-key step is only
// visited while the chosen key conflicts with what the system does on it; past either end
// the step stays.
SetupStep moveSetupStep(SetupStep current, int delta, bool globeKeyConflict);

enum class FooterAction { back, next, finish };
enum class FooterStyle { bordered, plain, prominent };

struct FooterButton {
  QString text;
  FooterAction action = FooterAction::next;
  FooterStyle style = FooterStyle::plain;
  bool operator==(const FooterButton&) const = default;
};

// The footer buttons, left to right: the skip buttons only while there is something left
// to skip.
std::vector<FooterButton> footerButtons(SetupStep step, bool typingAllowed, bool tryItEmpty);

}  // namespace talvo
