#include "shell/shell_rules.h"

namespace talvo {

QString readyMessage(HotkeyChoice choice, HotkeyPath path) {
  if (path == HotkeyPath::commandOnly)
    return QStringLiteral("Ready. Press your shortcut for talvo --toggle and talk.");
  return QStringLiteral("Ready. Hold %1 and talk.").arg(label(choice));
}

QString appendedToTryIt(const QString& before, const QString& piece) {
  return before.isEmpty() ? piece : before + u' ' + piece;
}

LaunchWindow launchWindow(bool onboarded, bool launchedAtLogin,
                          const QByteArray& noWindowVariable) {
  if (!onboarded) return LaunchWindow::setup;
  const bool suppress = launchedAtLogin || noWindowVariable == "1";
  return suppress ? LaunchWindow::none : LaunchWindow::main;
}

}  // namespace talvo
