#include "insertion/focus_classify.h"

#include <algorithm>
#include <array>

namespace talvo {

namespace {

// Role names as the accessibility bus spells them; compared exactly.
constexpr std::array<QStringView, 4> textRoles{u"text", u"entry", u"terminal", u"editbar"};

constexpr std::array<QStringView, 26> notTextRoles{u"push button",
                                                   u"toggle button",
                                                   u"menu item",
                                                   u"check menu item",
                                                   u"radio menu item",
                                                   u"menu",
                                                   u"menu bar",
                                                   u"check box",
                                                   u"radio button",
                                                   u"slider",
                                                   u"scroll bar",
                                                   u"image",
                                                   u"label",
                                                   u"link",
                                                   u"table",
                                                   u"tree table",
                                                   u"list",
                                                   u"list item",
                                                   u"table row",
                                                   u"tree item",
                                                   u"tool bar",
                                                   u"page tab list",
                                                   u"frame",
                                                   u"dialog",
                                                   u"progress bar",
                                                   u"table cell"};

template <std::size_t N>
bool contains(const std::array<QStringView, N>& roles, QStringView role) {
  return std::any_of(roles.begin(), roles.end(),
                     [role](QStringView r) { return r.compare(role, Qt::CaseSensitive) == 0; });
}

bool isTextRole(QStringView role) { return contains(textRoles, role); }
bool isNotTextRole(QStringView role) { return contains(notTextRoles, role); }

}  // namespace

FocusVerdict classifyFocus(const std::optional<QString>& role, bool valueSettable,
                           bool selectedTextSettable, bool hasSelectionRange) {
  if (role && isTextRole(*role)) return FocusVerdict::text;
  if (role && isNotTextRole(*role)) return FocusVerdict::notText;
  if (valueSettable || selectedTextSettable || hasSelectionRange) return FocusVerdict::text;
  return FocusVerdict::notText;
}

}  // namespace talvo
