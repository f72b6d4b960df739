#include "updates/update_info.h"

#include "pipeline/errors.h"

#include <nlohmann/json.hpp>

namespace talvo {
namespace {

using nlohmann::json;

std::optional<QString> stringField(const json& object, const char* key, bool required) {
  const auto found = object.find(key);
  if (found == object.end() || (!required && found->is_null())) {
    if (required) throw Error(QStringLiteral("The version document has no \"%1\".").arg(key));
    return std::nullopt;
  }
  if (!found->is_string())
    throw Error(QStringLiteral("The version document's \"%1\" is not a string.").arg(key));
  return QString::fromStdString(found->get<std::string>());
}

}  // namespace

UpdateInfo UpdateInfo::decode(const QByteArray& bytes) {
  json document;
  try {
    document = json::parse(bytes.begin(), bytes.end());
  } catch (const json::parse_error& error) {
    throw Error(
        QStringLiteral("The version document is not valid JSON (at byte %1).").arg(error.byte));
  }
  if (!document.is_object())
    throw Error(QStringLiteral("The version document is not a JSON object."));
  UpdateInfo info;
  info.version = *stringField(document, "version", true);
  info.url = *stringField(document, "url", true);
  info.notes = stringField(document, "notes", false);
  return info;
}

QByteArray UpdateInfo::encode() const {
  nlohmann::ordered_json object;
  object["version"] = version.toStdString();
  object["url"] = url.toStdString();
  if (notes) object["notes"] = notes->toStdString();
  return QByteArray::fromStdString(object.dump());
}

}  // namespace talvo
