#pragma once

#include <array>
#include <cstdint>

// The vocabulary of a keyboard sample: modifier flag bits and key codes. The hotkey
// machine decides in these terms only; the sampler translates the platform's keyboard
// into them.
namespace talvo {

namespace key_flags {
inline constexpr uint64_t shift = 0x20000;
inline constexpr uint64_t control = 0x40000;
inline constexpr uint64_t alternate = 0x80000;
inline constexpr uint64_t command = 0x100000;
inline constexpr uint64_t secondaryFn = 0x800000;
}  // namespace key_flags

namespace key_codes {
inline constexpr uint16_t escape = 53;

// Modifier keys.
inline constexpr uint16_t rightCommand = 54;
inline constexpr uint16_t command = 55;
inline constexpr uint16_t shift = 56;
inline constexpr uint16_t capsLock = 57;
inline constexpr uint16_t option = 58;
inline constexpr uint16_t control = 59;
inline constexpr uint16_t rightShift = 60;
inline constexpr uint16_t rightOption = 61;
inline constexpr uint16_t rightControl = 62;
inline constexpr uint16_t fn = 63;
inline constexpr uint16_t globe = 179;

// Arrows and navigation keys.
inline constexpr uint16_t leftArrow = 123;
inline constexpr uint16_t rightArrow = 124;
inline constexpr uint16_t downArrow = 125;
inline constexpr uint16_t upArrow = 126;
inline constexpr uint16_t home = 115;
inline constexpr uint16_t end = 119;
inline constexpr uint16_t pageUp = 116;
inline constexpr uint16_t pageDown = 121;
inline constexpr uint16_t forwardDelete = 117;
inline constexpr uint16_t help = 114;

// F1 to F12, in order.
inline constexpr std::array<uint16_t, 12> functionKeys{122, 120, 99,  118, 96,  97,
                                                       98,  100, 101, 109, 103, 111};

// Every key the machine does not tell apart gets a code from here up, outside all of the
// codes above.
inline constexpr uint16_t otherKeyBase = 0x200;
}  // namespace key_codes

}  // namespace talvo
