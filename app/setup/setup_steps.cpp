#include "setup/setup_steps.h"

namespace talvo {

std::optional<SetupStep> setupStepFromIndex(int index) {
  if (index < 0 || index >= setupStepCount) return std::nullopt;
  return static_cast<SetupStep>(index);
}

SetupStep moveSetupStep(SetupStep current, int delta, bool globeKeyConflict) {
  const auto target = setupStepFromIndex(static_cast<int>(current) + delta);
  if (!target) return current;
  if (*target == SetupStep::fnKey && !globeKeyConflict) {
    return setupStepFromIndex(static_cast<int>(SetupStep::fnKey) + delta).value_or(current);
  }
  return *target;
}

namespace {

FooterButton back() { return {QStringLiteral("Back"), FooterAction::back, FooterStyle::bordered}; }
FooterButton next(const QString& text) {
  return {text, FooterAction::next, FooterStyle::prominent};
}
FooterButton skip(const QString& text) { return {text, FooterAction::next, FooterStyle::plain}; }

}  // namespace

std::vector<FooterButton> footerButtons(SetupStep step, bool typingAllowed, bool tryItEmpty) {
  const QString go = QStringLiteral("Continue");
  switch (step) {
    case SetupStep::welcome: return {next(QStringLiteral("Set up"))};
    case SetupStep::microphone:
    case SetupStep::fnKey: return {back(), next(go)};
    case SetupStep::pasting:
      if (typingAllowed) return {back(), next(go)};
      return {back(), skip(QStringLiteral("Skip for now")), next(go)};
    case SetupStep::tryIt:
      if (!tryItEmpty) return {back(), next(go)};
      return {back(), skip(QStringLiteral("Skip")), next(go)};
    case SetupStep::done:
      return {{QStringLiteral("Done"), FooterAction::finish, FooterStyle::prominent}};
  }
  return {};
}

}  // namespace talvo
