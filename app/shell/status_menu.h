#pragma once

#include "updates/update_info.h"

#include <QString>

#include <optional>
#include <vector>

namespace talvo {

enum class MenuAction { none, copyLast, openUpdate, openMain, runSetup, quit };

// One row of the tray menu.
struct MenuRow {
  QString text;
  QString shortcut;  // a QKeySequence in portable text form, empty for none
  bool enabled = false;
  MenuAction action = MenuAction::none;
  bool separator = false;
  static MenuRow divider() { return MenuRow{{}, {}, false, MenuAction::none, true}; }
  bool operator==(const MenuRow&) const = default;
};

// What the menu is built from, read afresh each time it opens.
struct MenuFacts {
  QString status;
  bool hasLastText = false;
  std::optional<UpdateInfo> update;
  bool onboarded = false;
  bool micGranted = false;
  QString version;
};

std::vector<MenuRow> statusMenuRows(const MenuFacts& facts);

}  // namespace talvo
