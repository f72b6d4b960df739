#include "windows/section.h"

namespace talvo {

QString title(Section section) {
  switch (section) {
    case Section::home: return QStringLiteral("Home");
    case Section::history: return QStringLiteral("History");
    case Section::dictionary: return QStringLiteral("Dictionary");
    case Section::settings: return QStringLiteral("Settings");
  }
  return {};
}

QString symbolName(Section section) {
  switch (section) {
    case Section::home: return QStringLiteral("go-home-symbolic");
    case Section::history: return QStringLiteral("document-open-recent-symbolic");
    case Section::dictionary: return QStringLiteral("accessories-dictionary-symbolic");
    case Section::settings: return QStringLiteral("preferences-system-symbolic");
  }
  return {};
}

}  // namespace talvo
