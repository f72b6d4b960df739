#pragma once

#include <QString>
#include <array>
#include <optional>

namespace talvo {

// Whether the floating bar stays on screen between dictations.
enum class BarMode { whileDictating, always };

inline constexpr std::array allBarModes{BarMode::whileDictating, BarMode::always};

QString storedForm(BarMode mode);
std::optional<BarMode> barModeFromStored(QStringView stored);
QString label(BarMode mode);

}  // namespace talvo
