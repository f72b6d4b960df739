#include "shell/status_menu.h"

namespace talvo {
namespace {

MenuRow item(QString text, QString shortcut, bool enabled, MenuAction action) {
  return MenuRow{std::move(text), std::move(shortcut), enabled, action, false};
}

}  // namespace

std::vector<MenuRow> statusMenuRows(const MenuFacts& facts) {
  std::vector<MenuRow> rows{
      item(facts.status, {}, false, MenuAction::none),
      MenuRow::divider(),
      item(QStringLiteral("Copy last dictation"), QStringLiteral("Ctrl+C"), facts.hasLastText,
           MenuAction::copyLast),
  };
  if (facts.update)
    rows.push_back(item(QStringLiteral("Update available: %1…").arg(facts.update->version), {},
                        true, MenuAction::openUpdate));
  rows.push_back(
      item(QStringLiteral("Open Talvo…"), QStringLiteral("Ctrl+,"), true, MenuAction::openMain));
  // A user who finished set-up but has since lost the microphone is sent back to it.
  if (!facts.onboarded || !facts.micGranted)
    rows.push_back(item(QStringLiteral("Finish setup…"), {}, true, MenuAction::runSetup));
  rows.push_back(MenuRow::divider());
  rows.push_back(item(QStringLiteral("Talvo ") + facts.version, {}, false, MenuAction::none));
  rows.push_back(
      item(QStringLiteral("Quit Talvo"), QStringLiteral("Ctrl+Q"), true, MenuAction::quit));
  return rows;
}

}  // namespace talvo
