#include "storage/bar_mode.h"

namespace talvo {

QString storedForm(BarMode mode) {
  switch (mode) {
    case BarMode::whileDictating: return QStringLiteral("whileDictating");
    case BarMode::always: return QStringLiteral("always");
  }
  return {};
}

std::optional<BarMode> barModeFromStored(QStringView stored) {
  for (BarMode mode : allBarModes)
    if (storedForm(mode) == stored) return mode;
  return std::nullopt;
}

QString label(BarMode mode) {
  switch (mode) {
    case BarMode::whileDictating: return QStringLiteral("Only while talking");
    case BarMode::always: return QStringLiteral("Always");
  }
  return {};
}

}  // namespace talvo
