#pragma once

#include <QPoint>
#include <QString>

namespace talvo::sway {

// Criteria that match the windows with exactly this app id and title, and nothing else.
QString criteria(const QString& appId, const QString& title);

// Commands that keep the matched windows floating on every workspace, without a border, and
// never give them the focus: what a floating panel needs where the toolkit's own window
// flags are ignored. They hold for windows that appear later, too.
QString panelRules(const QString& criteria);

// Keeps the matched windows floating at their own size: on every workspace, as a card over
// the user's windows, or on one, as a dialog.
QString floatingRule(const QString& criteria, bool everyWorkspace);

// Moves the matched windows to this point of the desktop.
QString moveTo(const QString& criteria, QPoint at);

// Gives the focus to the window with this id (Window::id).
QString focus(qint64 windowId);

}  // namespace talvo::sway
