#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace talvo {

// Event-flag bits of a keyboard sample, as the monitor reports them.
namespace key_flags {
inline constexpr uint64_t shift = 0x20000;
inline constexpr uint64_t control = 0x40000;
inline constexpr uint64_t alternate = 0x80000;
inline constexpr uint64_t command = 0x100000;
inline constexpr uint64_t secondaryFn = 0x800000;
}  // namespace key_flags

namespace key_codes {
inline constexpr uint16_t escape = 53;
inline constexpr uint16_t rightCommand = 54;
inline constexpr uint16_t rightOption = 61;
inline constexpr uint16_t rightControl = 62;
}  // namespace key_codes

// Which key dictates.
enum class HotkeyChoice { fn, rightOption, rightCommand, rightControl };

inline constexpr std::array allHotkeyChoices{HotkeyChoice::fn, HotkeyChoice::rightOption,
                                             HotkeyChoice::rightCommand,
                                             HotkeyChoice::rightControl};

QString storedForm(HotkeyChoice choice);
std::optional<HotkeyChoice> hotkeyChoiceFromStored(QStringView stored);
QString label(HotkeyChoice choice);
uint64_t flagOf(HotkeyChoice choice);
// The key that must be down besides the flag; none for fn, where the flag alone decides.
std::optional<uint16_t> keyCodeOf(HotkeyChoice choice);

}  // namespace talvo
