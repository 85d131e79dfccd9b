#include "core/monitor/MessageText.h"

#include <array>
#include <cstdio>

#include "core/editor/ParameterTable.h"
#include "core/editor/SelectorItems.h"
#include "core/midi/Messages.h"

namespace rotavox {

namespace {

std::string itemName(const Parameter& p, int value) {
  for (const SelectorItem& item : selectorItems(p.items))
    if (item.value == value) return " (" + std::string(item.text) + ")";
  return {};
}

std::string controlChangeMeaning(int controller, int value) {
  if (controller == kAllNotesOffController) return "All Notes Off";
  if (const auto row = parameterOfController(controller)) {
    const Parameter& p = parameter(*row);
    return parameterTitle(p) + " = " + std::to_string(value) + itemName(p, value);
  }
  return "= " + std::to_string(value);
}

}  // namespace

MessageParts messageParts(std::uint32_t message) {
  const int status = statusByte(message);
  const int data1 = data1Byte(message);
  const int data2 = data2Byte(message);
  if (status < 0x80 || status >= 0xF0) return {"", "status " + messageBytes(message).substr(0, 2), ""};
  const std::string channel = std::to_string((status & 0x0F) + 1);
  const std::string first = std::to_string(data1);
  const std::string second = std::to_string(data2);
  switch (status & 0xF0) {
    case 0x80: return {channel, "Note Off " + first, "vel " + second};
    case 0x90: return {channel, "Note On " + first, "vel " + second};
    case 0xA0: return {channel, "Key Pressure " + first, "= " + second};
    case 0xB0: return {channel, "CC " + first, controlChangeMeaning(data1, data2)};
    case 0xC0: return {channel, "Program " + first, ""};
    case 0xD0: return {channel, "Channel Pressure", "= " + first};
    default: return {channel, "Pitch Bend", "= " + std::to_string(data1 + data2 * 128 - 8192)};
  }
}

std::string messageLine(std::uint32_t message) {
  const MessageParts parts = messageParts(message);
  std::string text = parts.channel.empty() ? parts.message : "ch " + parts.channel + "  " + parts.message;
  if (!parts.meaning.empty()) text += "  " + parts.meaning;
  return text;
}

std::string messageBytes(std::uint32_t message) {
  // A number that is no short message shows all three bytes.
  const int length = shortMessageBytes(message) == 0 ? 3 : shortMessageBytes(message);
  const std::uint8_t bytes[] = {statusByte(message), data1Byte(message), data2Byte(message)};
  std::string text;
  for (int i = 0; i < length; ++i) {
    std::array<char, 4> hex{};
    std::snprintf(hex.data(), hex.size(), "%02X", bytes[i]);
    text += (i > 0 ? " " : "") + std::string(hex.data());
  }
  return text;
}

std::string secondsText(std::int64_t micros) {
  if (micros < 0) micros = 0;
  const std::int64_t millis = micros / 1000;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%lld.%03lld", static_cast<long long>(millis / 1000),
                static_cast<long long>(millis % 1000));
  return text.data();
}

std::string_view directionText(MessageDirection direction) {
  return direction == MessageDirection::In ? "in" : "out";
}

MonitorRow monitorRow(const LoggedMessage& logged, std::string_view errorText) {
  MessageParts parts = messageParts(logged.message);
  std::string error;
  if (logged.result != kMidiOk) error = errorText.empty() ? "error " + std::to_string(logged.result) : std::string(errorText);
  return {secondsText(logged.micros), std::string(directionText(logged.direction)), messageBytes(logged.message),
          std::move(parts.channel),  std::move(parts.message), std::move(parts.meaning), std::move(error)};
}

std::string monitorLine(const LoggedMessage& logged, std::string_view errorText) {
  // Every line has all the columns, so that a spreadsheet puts each in its own.
  const MonitorRow row = monitorRow(logged, errorText);
  std::string line = row[0];
  for (std::size_t i = 1; i < row.size(); ++i) (line += '\t') += row[i];
  return line;
}

}  // namespace rotavox
