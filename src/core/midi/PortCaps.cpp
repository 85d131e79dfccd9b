#include "core/midi/PortCaps.h"

#include <cstdio>

namespace rotavox {

std::string hexText(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
  return buffer;
}

std::string driverVersionText(std::uint32_t version) {
  const std::string hex = hexText(version);
  const std::size_t head = hex.size() < 2 ? hex.size() : 2;
  return "Driver ver.:" + hex.substr(0, head) + "." + hex.substr(head);
}

std::string_view technologyText(std::uint16_t technology) {
  switch (technology) {
    case 1: return " output port";
    case 2: return " internal synth";
    case 3: return " square wave internal synth";
    case 4: return " FM synth";
    case 5: return " MIDI mapper";
    case 7: return " Wavetable synth";
    default: return "unknown";
  }
}

std::string portNameText(std::string_view name) { return std::string(name.substr(0, name.find('\0'))); }

}  // namespace rotavox
