#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rotavox {

// Texts the MIDI settings dialog shows for an output port's capability record.

// Upper-case hexadecimal without leading zeros (0x41 -> "41").
std::string hexText(std::uint32_t value);

// "Driver ver.:" + the first two hex digits + "." + the rest (0x0500 -> "Driver ver.:50.0").
// A one-digit version shows as that digit, a point and nothing after it.
std::string driverVersionText(std::uint32_t version);

// The kind of port after "Type: " (" output port", ..., "unknown").
std::string_view technologyText(std::uint16_t technology);

// A port name as the system hands it over: cut at its first NUL.
std::string portNameText(std::string_view name);

// The capability tables hold 100 records: 99 output ports and the mapper, 100 input ports.
inline constexpr unsigned kMaxOutPorts = 99;
inline constexpr unsigned kMaxInPorts = 100;

}  // namespace rotavox
