#include "insertion/screen_rect.h"

namespace talvo::caret_rules {

namespace {

bool acceptCaret(const ScreenRect& r) {
  return r.height > minCaretHeight && r.height < maxCaretHeight && (r.x != 0 || r.y != 0);
}

bool acceptFrame(const ScreenRect& r) { return r.height > 0 && r.height < maxFrameHeight; }

}  // namespace

ScreenRect caretFromCharacter(const ScreenRect& character, bool caretAtEnd) {
  if (!caretAtEnd) return {character.x, character.y, 0, character.height};
  return {character.x + character.width, character.y, 0, character.height};
}

std::optional<ScreenRect> choose(const std::optional<ScreenRect>& caret,
                                 const std::optional<ScreenRect>& frame) {
  if (caret && acceptCaret(*caret)) return caret;
  if (frame && acceptFrame(*frame)) return frame;
  return std::nullopt;
}

}  // namespace talvo::caret_rules
