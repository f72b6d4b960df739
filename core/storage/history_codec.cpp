#include "storage/history_codec.h"

#include "storage/json_depth.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace talvo::history_codec {
namespace {

using nlohmann::ordered_json;

std::string utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QString fromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

template <typename Object>
const ordered_json* member(const Object& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<double> number(const ordered_json& object, const char* key) {
  const ordered_json* value = member(object, key);
  if (!value || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

std::optional<QString> text(const ordered_json& object, const char* key) {
  const ordered_json* value = member(object, key);
  if (!value || !value->is_string()) return std::nullopt;
  return fromUtf8(value->get_ref<const std::string&>());
}

// An entry is one flat object; room is left for unknown keys holding small structures.
constexpr int maxDepth = 16;

}  // namespace

std::optional<QByteArray> encode(const History::Entry& entry) {
  // JSON has no infinities or NaN; the library would quietly write null instead.
  if (!std::isfinite(entry.ts) || !std::isfinite(entry.seconds)) return std::nullopt;
  ordered_json object;
  object["ts"] = entry.ts;
  object["text"] = utf8(entry.text);
  object["raw"] = utf8(entry.raw);
  object["cleanup"] = utf8(entry.cleanup);
  object["seconds"] = entry.seconds;
  object["outcome"] = utf8(entry.outcome);
  object["engine"] = utf8(entry.engine);
  try {
    const std::string line = object.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    return QByteArray(line.data(), qsizetype(line.size()));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<History::Entry> decode(const char* begin, const char* end) {
  if (nestsDeeperThan(begin, end, maxDepth)) return std::nullopt;
  const ordered_json object = ordered_json::parse(begin, end, nullptr, false);
  if (!object.is_object()) return std::nullopt;
  const auto ts = number(object, "ts");
  const auto text_ = text(object, "text");
  const auto raw = text(object, "raw");
  const auto cleanup = text(object, "cleanup");
  const auto seconds = number(object, "seconds");
  const auto outcome = text(object, "outcome");
  if (!ts || !text_ || !raw || !cleanup || !seconds || !outcome) return std::nullopt;
  History::Entry entry{*ts, *text_, *raw, *cleanup, *seconds, *outcome};
  // Optional: lines written before the key existed were all heard by the recogniser.
  if (const auto engine = text(object, "engine")) entry.engine = *engine;
  return entry;
}

}  // namespace talvo::history_codec
