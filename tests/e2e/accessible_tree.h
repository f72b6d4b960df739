#pragma once

#include <QString>

#include <vector>

namespace talvo::test {

// One object of a program's accessible tree, as a screen reader reads it.
struct AccessibleNode {
  QString role;
  QString name;
  QString description;
  QString text;  // the text interface's contents, for text boxes
  bool operator==(const AccessibleNode&) const = default;
};

// Reads other programs' accessible trees over the accessibility bus, fresh on every call.
class AccessibleTree {
public:
  AccessibleTree();

  // Every object of the program with that process id, its windows first; empty when it is
  // not on the bus.
  std::vector<AccessibleNode> of(qint64 pid);
  // Does the first action (a button's "press") of the first object of that program with
  // this name and role.
  bool press(qint64 pid, const QString& name, const QString& role = QStringLiteral("push button"));
};

}  // namespace talvo::test
