#pragma once

#include <optional>

namespace talvo {

// A rectangle in X screen coordinates: origin at the top-left, y growing downwards.
struct ScreenRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const ScreenRect&) const = default;
};

namespace caret_rules {
// Bounds of the text at the caret. Toolkits answer 2-pixel slivers or a rectangle at the
// origin when they have no real geometry; both are refused.
inline constexpr double minCaretHeight = 2.0;
inline constexpr double maxCaretHeight = 200.0;
// A focused element taller than this is a text area, not a line, and no place for the bar.
inline constexpr double maxFrameHeight = 120.0;

// The caret from a character's extents: the character at the caret itself, or, with the
// caret at the end of the text, the character before it, whose right edge the caret is on.
ScreenRect caretFromCharacter(const ScreenRect& character, bool caretAtEnd);

// The caret if its bounds are believable, else the element frame if it is a line's
// height, else nothing.
std::optional<ScreenRect> choose(const std::optional<ScreenRect>& caret,
                                 const std::optional<ScreenRect>& frame);
}  // namespace caret_rules

}  // namespace talvo
