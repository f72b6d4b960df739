#include "sway/sway_rules.h"

#include <QRegularExpression>

namespace talvo::sway {
namespace {

// A regular expression for exactly this text, inside a double-quoted criteria value. sway
// hands the value to the expression engine as it stands, so a quote, which would end the
// value, is written as its code.
QString exactly(const QString& text) {
  QString pattern = u'^' + QRegularExpression::escape(text) + u'$';
  pattern.replace(QLatin1String("\\\""), QLatin1String("\\x22"));
  return pattern;
}

}  // namespace

QString criteria(const QString& appId, const QString& title) {
  return QStringLiteral("[app_id=\"%1\" title=\"%2\"]").arg(exactly(appId), exactly(title));
}

// The rule's commands are quoted: unquoted, the first comma would end the rule, and the
// rest would run at once on whatever window has the focus.
QString panelRules(const QString& criteria) {
  return QStringLiteral(
             "for_window %1 \"floating enable, sticky enable, border none\"; no_focus %1")
      .arg(criteria);
}

QString floatingRule(const QString& criteria, bool everyWorkspace) {
  return QStringLiteral("for_window %1 \"floating enable, sticky %2\"")
      .arg(criteria, everyWorkspace ? QStringLiteral("enable") : QStringLiteral("disable"));
}

QString focus(qint64 windowId) { return QStringLiteral("[con_id=%1] focus").arg(windowId); }

QString moveTo(const QString& criteria, QPoint at) {
  return QStringLiteral("%1 move absolute position %2 %3").arg(criteria).arg(at.x()).arg(at.y());
}

}  // namespace talvo::sway
