#pragma once

#include <QString>

#include <memory>
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

// Reads other programs' accessible trees over the accessibility bus, fresh on every call,
// and follows the keyboard focus, whose events arrive while this process runs its events.
class AccessibleTree {
public:
  AccessibleTree();
  AccessibleTree(const AccessibleTree&) = delete;
  AccessibleTree& operator=(const AccessibleTree&) = delete;
  ~AccessibleTree();

  // Every object of the program with that process id, its windows first; empty when it is
  // not on the bus.
  std::vector<AccessibleNode> of(qint64 pid);
  // Does the first action (a button's "press") of the first object of that program with
  // this name and role.
  bool press(qint64 pid, const QString& name, const QString& role = QStringLiteral("push button"));
  // The items of the menu that holds the object that last took the focus, disabled ones
  // included; empty when that object is no menu item. Pop-up menus are not children of
  // their program's object, so the focus is the way to them.
  std::vector<AccessibleNode> focusedMenu();
  // Whether some object of that program goes by this name: the bar says what it shows so.
  bool hasNamed(qint64 pid, const QString& name) {
    for (const AccessibleNode& node : of(pid))
      if (node.name == name) return true;
    return false;
  }

private:
  struct Focus;
  std::unique_ptr<Focus> focus_;
};

}  // namespace talvo::test
