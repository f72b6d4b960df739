#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace talvo {

// A published version, as the update feed describes it.
struct UpdateInfo {
  QString version;
  QString url;
  std::optional<QString> notes;

  bool operator==(const UpdateInfo&) const = default;

  // Throws talvo::Error with a readable reason when the document is not a JSON object
  // with string "version" and "url". Unknown keys are ignored.
  static UpdateInfo decode(const QByteArray& bytes);
  // Leaves "notes" out when there are none.
  QByteArray encode() const;
};

}  // namespace talvo
