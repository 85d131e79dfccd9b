#pragma once

#include <cstdint>

namespace rotavox {

inline constexpr std::uint32_t kNoteOnStatus = 0x90;
inline constexpr std::uint32_t kControlChangeStatus = 0xB0;
inline constexpr std::uint32_t kProgramChangeStatus = 0xC0;
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

// Program Change: two bytes on the wire; the second data byte of the number stays 0.
constexpr std::uint32_t programChange(int channel, int program) {
  return shortMessage(kProgramChangeStatus + static_cast<std::uint32_t>(channel), static_cast<std::uint32_t>(program), 0);
}

constexpr std::uint8_t statusByte(std::uint32_t message) { return message & 0xFF; }
constexpr std::uint8_t data1Byte(std::uint32_t message) { return (message >> 8) & 0xFF; }
constexpr std::uint8_t data2Byte(std::uint32_t message) { return (message >> 16) & 0xFF; }

// The one check of what a service may put on the wire: the bytes a short message takes there,
// or 0 when the number is not one (no status byte, a data byte with its top bit set, a system
// exclusive start or end, an undefined system status). Program change and channel pressure
// take 2 bytes, the other channel messages 3; system messages 1 to 3.
constexpr int shortMessageBytes(std::uint32_t message) {
  const std::uint8_t status = statusByte(message);
  int bytes = 0;
  if (status < 0x80) return 0;
  if (status < 0xF0) {
    bytes = (status & 0xE0) == 0xC0 ? 2 : 3;
  } else {
    switch (status) {
      case 0xF1: case 0xF3: bytes = 2; break;
      case 0xF2: bytes = 3; break;
      case 0xF6: case 0xF8: case 0xFA: case 0xFB: case 0xFC: case 0xFE: case 0xFF: bytes = 1; break;
      default: return 0;
    }
  }
  if (bytes >= 2 && data1Byte(message) > 0x7F) return 0;
  if (bytes >= 3 && data2Byte(message) > 0x7F) return 0;
  return bytes;
}

constexpr bool isDataByte(int value) { return value >= 0 && value <= 127; }

}  // namespace rotavox
