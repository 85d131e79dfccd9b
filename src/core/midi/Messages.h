#pragma once

#include <cstdint>

namespace rotavox {

inline constexpr std::uint32_t kNoteOnStatus = 0x90;
inline constexpr std::uint32_t kControlChangeStatus = 0xB0;
inline constexpr int kAllNotesOffController = 123;

// A short message as one 32-bit number: status + data1 * 256 + data2 * 65536.
constexpr std::uint32_t shortMessage(std::uint32_t status, std::uint32_t data1, std::uint32_t data2) {
  return status + data1 * 256u + data2 * 65536u;
}

constexpr std::uint32_t noteOn(int channel, int note, int velocity) {
  return shortMessage(kNoteOnStatus + static_cast<std::uint32_t>(channel), static_cast<std::uint32_t>(note),
                      static_cast<std::uint32_t>(velocity));
}

constexpr std::uint32_t controlChange(int channel, int controller, int value) {
  return shortMessage(kControlChangeStatus + static_cast<std::uint32_t>(channel),
                      static_cast<std::uint32_t>(controller), static_cast<std::uint32_t>(value));
}

constexpr std::uint8_t statusByte(std::uint32_t message) { return message & 0xFF; }
constexpr std::uint8_t data1Byte(std::uint32_t message) { return (message >> 8) & 0xFF; }
constexpr std::uint8_t data2Byte(std::uint32_t message) { return (message >> 16) & 0xFF; }

// Bytes a short message takes on the wire: 2 for program change / channel pressure, 3 else.
constexpr int shortMessageLength(std::uint32_t message) {
  const std::uint8_t kind = statusByte(message) & 0xF0;
  return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
}

constexpr bool isDataByte(int value) { return value >= 0 && value <= 127; }

}  // namespace rotavox
