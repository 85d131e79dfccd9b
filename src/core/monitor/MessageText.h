#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/monitor/MidiLog.h"

namespace rotavox {

// What a short message means, as the MIDI monitor shows it: "ch 1  CC 69  Filter 1 Cutoff =
// 100", "ch 1  CC 31  OSC 1 Shape = 2 (Saw)", "ch 1  Note On 60 vel 100", "ch 1  CC 123  All
// Notes Off". Channels count from 1, as the settings dialog shows them.
std::string describeMessage(std::uint32_t message);

// The bytes of a short message on the wire, in hex: "B0 45 64" ("C0 05" for a two-byte one).
std::string messageBytes(std::uint32_t message);

// Seconds with milliseconds: "0.005", "12.345".
std::string secondsText(std::int64_t micros);

// One line of the monitor: time, bytes and meaning; a failed send ends in its error text.
std::string monitorLine(const LoggedMessage& logged, std::string_view errorText);

}  // namespace rotavox
