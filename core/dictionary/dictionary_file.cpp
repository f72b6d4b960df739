#include "dictionary/user_dictionary.h"

#include "pipeline/errors.h"
#include "storage/file_io.h"
#include "storage/json_depth.h"
#include "storage/log.h"

#include <QFileInfo>

#include <nlohmann/json.hpp>

#include <optional>

namespace talvo {
namespace {

// Far beyond any hand-made dictionary; a larger file is not ours to parse.
constexpr int64_t maxFileBytes = 4 << 20;

using nlohmann::json;

std::string utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QString fromUtf8(const json& value) {
  const auto& text = value.get_ref<const std::string&>();
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const json* member(const json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<QString> text(const json& object, const char* key) {
  const json* value = member(object, key);
  if (!value || !value->is_string()) return std::nullopt;
  return fromUtf8(*value);
}

// The file is three levels deep (document, list, fix).
constexpr int maxDepth = 3;

std::optional<UserDictionary> decode(const QByteArray& data) {
  const char* begin = data.constData();
  const char* end = begin + data.size();
  if (nestsDeeperThan(begin, end, maxDepth)) return std::nullopt;
  const json document = json::parse(begin, end, nullptr, false);
  if (!document.is_object()) return std::nullopt;
  const json* words = member(document, "words");
  const json* fixes = member(document, "fixes");
  if (!words || !fixes || !words->is_array() || !fixes->is_array()) return std::nullopt;
  UserDictionary dictionary;
  for (const json& word : *words) {
    if (!word.is_string()) return std::nullopt;
    dictionary.words << fromUtf8(word);
  }
  for (const json& fix : *fixes) {
    if (!fix.is_object()) return std::nullopt;
    auto heard = text(fix, "heard");
    auto meant = text(fix, "meant");
    if (!heard || !meant) return std::nullopt;
    dictionary.fixes.push_back({std::move(*heard), std::move(*meant)});
  }
  return dictionary;
}

// Copies of damaged files kept next to one dictionary; past that, a new damage is only
// logged. It bounds what one load reads to compare.
constexpr int maxDamagedCopies = 20;

QString damagedCopyPath(const QString& path, int number) {
  return path +
         (number == 1 ? QStringLiteral(".damaged") : QStringLiteral(".damaged-%1").arg(number));
}

bool taken(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

// The user typed every entry of a dictionary by hand. Before an unreadable file is read as
// empty, and so overwritten by the next save, a copy of it is kept. Each different damage
// gets a copy of its own (".damaged", ".damaged-2", ...); one already kept is not copied
// again.
void keepDamagedCopy(const QString& path, const QByteArray& data) {
  for (int number = 1; number <= maxDamagedCopies; ++number) {
    const QString copyPath = damagedCopyPath(path, number);
    if (taken(copyPath)) {
      if (file_io::readAll(copyPath, maxFileBytes).data == data) return;
      continue;
    }
    try {
      file_io::writeAtomically(copyPath, data);
      Log::info(
          QStringLiteral("dictionary: could not read %1; kept a copy in %2").arg(path, copyPath));
    } catch (const Error& failure) {
      Log::info(QStringLiteral("dictionary: could not read %1 nor keep a copy: %2")
                    .arg(path, failure.message()));
    }
    return;
  }
  Log::info(
      QStringLiteral("dictionary: could not read %1 nor keep a copy: %2 copies are kept already")
          .arg(path)
          .arg(maxDamagedCopies));
}

}  // namespace

UserDictionary UserDictionary::load(const QString& path) {
  const file_io::ReadResult read = file_io::readAll(path, maxFileBytes);
  const std::optional<QByteArray>& data = read.data;
  if (!data) {
    if (!read.missing) Log::info(QStringLiteral("dictionary: not read: ") + read.reason);
    return {};
  }
  if (auto dictionary = decode(*data)) return std::move(*dictionary);
  if (!data->trimmed().isEmpty()) keepDamagedCopy(path, *data);
  return {};
}

void UserDictionary::save(const QString& path) const {
  json wordList = json::array();
  for (const QString& word : words) wordList.push_back(utf8(word));
  json fixList = json::array();
  for (const Fix& fix : fixes)
    fixList.push_back({{"heard", utf8(fix.heard)}, {"meant", utf8(fix.meant)}});
  const json document = {{"words", std::move(wordList)}, {"fixes", std::move(fixList)}};
  std::string encoded;
  try {
    encoded = document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  } catch (const std::exception& error) {
    throw Error(
        QStringLiteral("could not encode the dictionary: %1").arg(QString::fromUtf8(error.what())));
  }
  file_io::writeAtomically(path, QByteArray(encoded.data(), qsizetype(encoded.size())));
}

}  // namespace talvo
