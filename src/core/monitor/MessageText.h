#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/monitor/MidiLog.h"

namespace rotavox {

// A short message taken apart for the MIDI monitor: its channel ("1"; channels count from 1, as
// the settings dialog shows them; empty for a message of no channel), what kind of message it
// is ("CC 69", "Note On 60") and what it means ("Filter 1 Cutoff = 100", "OSC 1 Shape = 2
// (Saw)", "vel 100", "All Notes Off").
struct MessageParts {
  std::string channel;
  std::string message;
  std::string meaning;
  bool operator==(const MessageParts&) const = default;
};
MessageParts messageParts(std::uint32_t message);
// The same in one line: "ch 1  CC 69  Filter 1 Cutoff = 100".
std::string messageLine(std::uint32_t message);

// The bytes of a short message on the wire, in hex: "B0 45 64" ("C0 05" for a two-byte one).
std::string messageBytes(std::uint32_t message);

// Seconds with milliseconds: "0.005", "12.345".
std::string secondsText(std::int64_t micros);

// "out" for a message sent, "in" for one received.
std::string_view directionText(MessageDirection direction);

// The columns of the monitor's table, in order, and their titles.
enum class MonitorColumn : std::uint8_t { Time, Direction, Bytes, Channel, Message, Meaning, Error };
inline constexpr std::string_view kMonitorColumnTitles[] = {"Time",    "Direction", "Bytes", "Channel",
                                                            "Message", "Meaning",   "Error"};
inline constexpr std::size_t kMonitorColumnCount = std::size(kMonitorColumnTitles);
static_assert(static_cast<std::size_t>(MonitorColumn::Error) + 1 == kMonitorColumnCount);

// One row of the monitor: time, direction, bytes, channel, message and meaning; the last column
// is empty but for a failed send, where it holds the service's error text (the result code when
// the service gave none).
using MonitorRow = std::array<std::string, kMonitorColumnCount>;
MonitorRow monitorRow(const LoggedMessage& logged, std::string_view errorText);

// One row as one line of text, its columns apart by tabs: what the monitor's Copy gives.
std::string monitorLine(const LoggedMessage& logged, std::string_view errorText);

}  // namespace rotavox
