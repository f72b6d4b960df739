#include "fixcard/sway_window_focus.h"

#include "storage/log.h"
#include "sway/sway_ipc.h"
#include "sway/sway_rules.h"
#include "sway/sway_tree.h"
#include "widgets/look.h"

#include <QGuiApplication>

namespace talvo {
namespace {

class SwayWindowFocus final : public WindowFocus {
public:
  explicit SwayWindowFocus(std::shared_ptr<sway::Connection> sway) : sway_(std::move(sway)) {
    const QString card =
        sway::criteria(QGuiApplication::desktopFileName(), look::titleAsShown(fixCardTitle));
    const QString error = sway_->run(sway::floatingRule(card, true));
    if (!error.isEmpty()) Log::info(QStringLiteral("fix card: no window rule: ") + error);
  }

  std::optional<std::uint64_t> activeWindow() override {
    const auto window = sway::focusedWindow(*sway_);
    return window ? std::optional<std::uint64_t>(window->id) : std::nullopt;
  }

  void activate(std::uint64_t window) override { sway_->run(sway::focus(qint64(window))); }

private:
  std::shared_ptr<sway::Connection> sway_;
};

}  // namespace

std::shared_ptr<WindowFocus> makeSwayWindowFocus(std::shared_ptr<sway::Connection> sway) {
  return std::make_shared<SwayWindowFocus>(std::move(sway));
}

}  // namespace talvo
