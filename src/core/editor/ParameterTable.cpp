#include "core/editor/ParameterTable.h"

#include <algorithm>
#include <cmath>

#include "core/common/Readings.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {

const Parameter* findParameter(std::string_view control) {
  const auto row = parameterRow(control);
  return row ? &kParameters[*row] : nullptr;
}

FieldReading readField(const Parameter& p, std::string_view text) {
  if (p.sent == SentRule::ByItem) {
    const auto position = itemPosition(p.items, text);
    if (!position) return {FieldState::Invalid, 0, 0};
    return {FieldState::Valid, *position, *itemValue(p.items, text)};
  }
  if (text.empty() || text == kNoValueText) return {};
  // A fraction would not fit the data byte, and a number beyond the range would spill over it
  // after the offset; neither is sent.
  const auto whole = wholeReading(text);
  if (!whole || *whole < p.low || *whole > p.high) return {FieldState::Invalid, 0, 0};
  const int shown = static_cast<int>(*whole);
  const int byte = p.sent == SentRule::Offset ? shown + 64 : shown;
  if (byte < 0 || byte > 127) return {FieldState::Invalid, 0, 0};
  return {FieldState::Valid, shown, byte};
}

int oscVolumeByte(int position, bool muted) { return muted ? 0 : std::clamp(position, 0, 127); }

std::string rangeHint(const Parameter& p) {
  return "Whole number from " + numberText(p.low) + " to " + numberText(p.high);
}

bool mainVolumeOverflows(std::string_view text) { return std::fabs(leadingReading(text)) > 127.0; }

int mainVolumePosition(std::string_view text) {
  const std::int64_t whole = roundHalfEven(std::fabs(leadingReading(text)));
  return static_cast<int>(std::clamp<std::int64_t>(whole, 0, 127));
}

std::optional<int> routingState(std::string_view text) {
  const auto value = strictReading(text);
  if (value && *value == 1.0) return 1;
  return std::nullopt;
}

}  // namespace rotavox
