#include "e2e/accessible_tree.h"

#include <atspi/atspi.h>

#include <functional>
#include <memory>

namespace talvo::test {

namespace {

// Deep enough for any window of the program, small enough to stop on a cycle.
constexpr int maxDepth = 40;
constexpr int maxNodes = 5000;
constexpr int callTimeoutMs = 3000;

struct Unref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
using Ref = std::unique_ptr<AtspiAccessible, Unref>;

QString take(gchar* text) {
  QString result = QString::fromUtf8(text ? text : "");
  g_free(text);
  return result;
}

AccessibleNode read(AtspiAccessible* object) {
  AccessibleNode node;
  node.role = take(atspi_accessible_get_role_name(object, nullptr));
  node.name = take(atspi_accessible_get_name(object, nullptr));
  node.description = take(atspi_accessible_get_description(object, nullptr));
  if (AtspiText* text = atspi_accessible_get_text_iface(object)) {
    node.text = take(atspi_text_get_text(text, 0, -1, nullptr));
    g_object_unref(text);
  }
  return node;
}

// Calls `visit` on every object below `app` until it answers true.
void walk(AtspiAccessible* object, int depth, int& budget,
          const std::function<bool(AtspiAccessible*)>& visit, bool& stop) {
  if (stop || depth > maxDepth || --budget < 0) return;
  if (visit(object)) {
    stop = true;
    return;
  }
  const int count = atspi_accessible_get_child_count(object, nullptr);
  for (int i = 0; i < count && !stop; ++i) {
    Ref child(atspi_accessible_get_child_at_index(object, i, nullptr));
    if (child) walk(child.get(), depth + 1, budget, visit, stop);
  }
}

void forEachOf(qint64 pid, const std::function<bool(AtspiAccessible*)>& visit) {
  Ref desktop(atspi_get_desktop(0));
  if (!desktop) return;
  const int apps = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (int i = 0; i < apps; ++i) {
    Ref app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (!app || atspi_accessible_get_process_id(app.get(), nullptr) != guint(pid)) continue;
    atspi_accessible_clear_cache(app.get());
    int budget = maxNodes;
    bool stop = false;
    walk(app.get(), 0, budget, visit, stop);
    return;
  }
}

}  // namespace

struct AccessibleTree::Focus {
  Ref last;
  AtspiEventListener* listener = nullptr;

  static void changed(AtspiEvent* event, void* self) {
    if (event->detail1 == 1 && event->source)
      static_cast<Focus*>(self)->last.reset(
          static_cast<AtspiAccessible*>(g_object_ref(event->source)));
    g_boxed_free(atspi_event_get_type(), event);
  }
};

AccessibleTree::AccessibleTree() : focus_(std::make_unique<Focus>()) {
  atspi_init();
  atspi_set_timeout(callTimeoutMs, callTimeoutMs);
  focus_->listener = atspi_event_listener_new(&Focus::changed, focus_.get(), nullptr);
  atspi_event_listener_register(focus_->listener, "object:state-changed:focused", nullptr);
}

AccessibleTree::~AccessibleTree() {
  atspi_event_listener_deregister(focus_->listener, "object:state-changed:focused", nullptr);
  g_object_unref(focus_->listener);
}

std::vector<AccessibleNode> AccessibleTree::focusedMenu() {
  std::vector<AccessibleNode> items;
  if (!focus_->last || read(focus_->last.get()).role != "menu item") return items;
  Ref menu(atspi_accessible_get_parent(focus_->last.get(), nullptr));
  const int count = menu ? atspi_accessible_get_child_count(menu.get(), nullptr) : 0;
  for (int i = 0; i < count; ++i) {
    Ref item(atspi_accessible_get_child_at_index(menu.get(), i, nullptr));
    if (item) items.push_back(read(item.get()));
  }
  return items;
}

// Members, though they use no state: the tree's life is the bus connection they talk over.
// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
std::vector<AccessibleNode> AccessibleTree::of(qint64 pid) {
  std::vector<AccessibleNode> nodes;
  forEachOf(pid, [&](AtspiAccessible* object) {
    nodes.push_back(read(object));
    return false;
  });
  return nodes;
}

// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
bool AccessibleTree::press(qint64 pid, const QString& name, const QString& role) {
  bool pressed = false;
  forEachOf(pid, [&](AtspiAccessible* object) {
    const AccessibleNode node = read(object);
    if (node.name != name || node.role != role) return false;
    if (AtspiAction* action = atspi_accessible_get_action_iface(object)) {
      pressed = atspi_action_do_action(action, 0, nullptr);
      g_object_unref(action);
    }
    return true;
  });
  return pressed;
}

}  // namespace talvo::test
