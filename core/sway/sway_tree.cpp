#include "sway/sway_tree.h"

#include "sway/sway_ipc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

namespace talvo::sway {
namespace {

// Windows are the tree's nodes with a process: outputs, workspaces and containers have none.
bool isWindow(const QJsonObject& node) { return node.value(QLatin1String("pid")).toInteger() > 0; }

Window windowFrom(const QJsonObject& node) {
  Window window;
  window.id = node.value(QLatin1String("id")).toInteger();
  window.pid = node.value(QLatin1String("pid")).toInteger();
  window.xwayland = node.value(QLatin1String("shell")).toString() == u"xwayland";
  window.appId = window.xwayland ? node.value(QLatin1String("window_properties"))
                                       .toObject()
                                       .value(QLatin1String("class"))
                                       .toString()
                                 : node.value(QLatin1String("app_id")).toString();
  window.title = node.value(QLatin1String("name")).toString();
  window.floating = node.value(QLatin1String("type")).toString() == u"floating_con";
  const QJsonObject rect = node.value(QLatin1String("rect")).toObject();
  window.frame = QRect(
      rect.value(QLatin1String("x")).toInt(), rect.value(QLatin1String("y")).toInt(),
      rect.value(QLatin1String("width")).toInt(), rect.value(QLatin1String("height")).toInt());
  const QJsonObject inner = node.value(QLatin1String("window_rect")).toObject();
  window.contentOffset =
      QPoint(inner.value(QLatin1String("x")).toInt(), inner.value(QLatin1String("y")).toInt());
  return window;
}

// The first window, depth first, that the predicate accepts; tiled children before floating
// ones, as the tree lists them.
std::optional<Window> find(const QJsonObject& node,
                           const std::function<bool(const QJsonObject&)>& accept) {
  if (isWindow(node) && accept(node)) return windowFrom(node);
  for (const char* children : {"nodes", "floating_nodes"})
    for (const auto& child : node.value(QLatin1String(children)).toArray())
      if (auto found = find(child.toObject(), accept)) return found;
  return std::nullopt;
}

std::optional<Window> findIn(const QByteArray& tree,
                             const std::function<bool(const QJsonObject&)>& accept) {
  const QJsonDocument document = QJsonDocument::fromJson(tree);
  if (!document.isObject()) return std::nullopt;
  return find(document.object(), accept);
}

}  // namespace

std::optional<Window> focusedIn(const QByteArray& tree) {
  return findIn(
      tree, [](const QJsonObject& node) { return node.value(QLatin1String("focused")).toBool(); });
}

std::optional<Window> firstOfProcessIn(const QByteArray& tree, qint64 pid) {
  return findIn(tree, [pid](const QJsonObject& node) {
    return node.value(QLatin1String("pid")).toInteger() == pid;
  });
}

std::optional<Window> focusedWindow(Connection& connection) {
  const auto tree = connection.ask(message_type::getTree);
  return tree ? focusedIn(*tree) : std::nullopt;
}

std::optional<Window> firstWindowOf(Connection& connection, qint64 pid) {
  const auto tree = connection.ask(message_type::getTree);
  return tree ? firstOfProcessIn(*tree, pid) : std::nullopt;
}

}  // namespace talvo::sway
