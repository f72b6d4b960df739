#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace talvo {

// A directory entry named *.wav (exactly that extension), not itself a folder.
struct ClipName {
  QString name;           // invalid UTF-8 shows as replacement characters
  bool validUtf8 = true;  // only then does `name` lead back to the file
  bool operator==(const ClipName&) const = default;
};

struct ClipListing {
  std::vector<ClipName> clips;     // by name, in code-unit order
  std::optional<QString> failure;  // why the folder could not be listed, naming it
  bool operator==(const ClipListing&) const = default;
};

// The clips of one folder; subfolders are not searched. Names are taken as the raw bytes
// the folder holds, so a name that is not UTF-8 is recognised rather than mangled into
// the name of another file.
[[nodiscard]] ClipListing listClips(const QString& directory);

}  // namespace talvo
