#include "insertion/atspi_focus_probe.h"

#include "insertion/focus_tracker.h"

namespace talvo {

namespace {

using atspi::ErrorBox;
using atspi::Ref;

std::optional<int64_t> focusPidOf(FocusedWindow* window) {
  return window ? window->pid() : std::nullopt;
}

// Toolkits that report positions relative to their window report them so even when asked
// for screen positions.
std::optional<ScreenRect> onDesktop(std::optional<ScreenRect> rect, FocusedWindow* window) {
  const std::optional<QPoint> origin = window ? window->contentOrigin() : std::nullopt;
  if (rect && origin) {
    rect->x += origin->x();
    rect->y += origin->y();
  }
  return rect;
}

bool isPassword(const std::optional<QString>& role) {
  return role && *role == QLatin1String("password text");
}

std::optional<ScreenRect> toRect(AtspiRect* r) {
  if (!r) return std::nullopt;
  ScreenRect rect{double(r->x), double(r->y), double(r->width), double(r->height)};
  g_boxed_free(ATSPI_TYPE_RECT, r);
  return rect;
}

bool hasCaret(AtspiAccessible* element) {
  Ref<AtspiText> text(atspi_accessible_get_text_iface(element));
  if (!text) return false;
  ErrorBox error;
  return atspi_text_get_caret_offset(text.get(), error.out()) >= 0 && !error.failed();
}

std::optional<ScreenRect> caretOf(AtspiAccessible* element) {
  Ref<AtspiText> text(atspi_accessible_get_text_iface(element));
  if (!text) return std::nullopt;
  ErrorBox error;
  int caret = atspi_text_get_caret_offset(text.get(), error.out());
  int count = atspi_text_get_character_count(text.get(), nullptr);
  if (error.failed() || caret < 0) return std::nullopt;
  bool atEnd = caret >= count;
  if (atEnd && count == 0) return std::nullopt;  // empty text has no characters to measure
  int offset = atEnd ? count - 1 : caret;
  auto extents = toRect(
      atspi_text_get_character_extents(text.get(), offset, ATSPI_COORD_TYPE_SCREEN, nullptr));
  if (!extents) return std::nullopt;
  return caret_rules::caretFromCharacter(*extents, atEnd);
}

std::optional<ScreenRect> frameOf(AtspiAccessible* element) {
  Ref<AtspiComponent> component(atspi_accessible_get_component_iface(element));
  if (!component) return std::nullopt;
  return toRect(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr));
}

}  // namespace

AtspiFocusProbe::AtspiFocusProbe(std::optional<int64_t> ownPid,
                                 std::chrono::milliseconds searchTime,
                                 std::shared_ptr<FocusedWindow> window)
    : window_(std::move(window)), ownPid_(ownPid), searchTime_(searchTime) {}

AtspiFocusProbe::~AtspiFocusProbe() = default;

FocusVerdict AtspiFocusProbe::verdict() {
  lastRole_.clear();
  std::optional<int64_t> focusPid = focusPidOf(window_.get());
  atspi::Focus focus =
      atspi::FocusTracker::instance().find(focusPid, QDeadlineTimer(searchTime_.count()));
  std::optional<QString> role = focus.element ? atspi::roleName(focus.element.get()) : std::nullopt;
  if (role) lastRole_ = *role;

  if (isPassword(role) || (window_ && window_->keyboardGrabbedByOther()))
    return FocusVerdict::secureInput;
  if (ownPid_ && focusPid == ownPid_) return FocusVerdict::ownApp;
  if (!focus.busReachable || focus.searchTimedOut) return FocusVerdict::unknown;
  // An application that is not on the bus (many terminals) may well take text.
  if (!focus.appFound) return FocusVerdict::unknown;
  if (!focus.element) return FocusVerdict::notText;  // nothing has the focus

  AtspiAccessible* element = focus.element.get();
  bool editable = atspi::hasState(element, ATSPI_STATE_EDITABLE);
  Ref<AtspiEditableText> editableText(atspi_accessible_get_editable_text_iface(element));
  return classifyFocus(role, editable, bool(editableText), hasCaret(element));
}

std::optional<ScreenRect> Caret::rect(FocusedWindow* window) {
  // Kept for the life of the process: closing it at exit could meet a server already gone.
  // Held through a static pointer, so that it stays reachable rather than leaked.
  static const auto* const x11 = new std::shared_ptr<FocusedWindow>(makeX11FocusedWindow());
  if (!window) window = x11->get();
  if (window && !window->placeKnown()) return std::nullopt;
  atspi::Focus focus = atspi::FocusTracker::instance().find(
      focusPidOf(window), QDeadlineTimer(AtspiFocusProbe::defaultSearchTime.count()));
  if (!focus.element) return std::nullopt;
  AtspiAccessible* element = focus.element.get();
  // A password field's caret would tell how long the password is.
  if (isPassword(atspi::roleName(element))) return std::nullopt;
  return onDesktop(caret_rules::choose(caretOf(element), frameOf(element)), window);
}

}  // namespace talvo
