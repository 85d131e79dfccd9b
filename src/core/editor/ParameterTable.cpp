#include "core/editor/ParameterTable.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/common/Readings.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {

namespace {

// The row of each Control Change number, or -1; made once from the table.
constexpr std::array<std::int8_t, 128> kRowOfController = [] {
  std::array<std::int8_t, 128> rows{};
  rows.fill(-1);
  for (const Parameter& p : kParameters) rows[static_cast<std::size_t>(p.cc)] = static_cast<std::int8_t>(index(p.id));
  return rows;
}();

// The parameter's own name where the panel shows no label, or a label that is not a name.
std::string_view ownName(const Parameter& p) {
  switch (p.kind) {
    case ParamKind::FilterType: return "Type";
    case ParamKind::Volume: return "Volume";
    case ParamKind::Routing: return "Filter routing";
    case ParamKind::MainVolume: return "Main volume";
    default: return p.label;
  }
}

// Routing and main volume stand outside the titled groups: their name says it all.
bool namedAlone(const Parameter& p) { return p.kind == ParamKind::Routing || p.kind == ParamKind::MainVolume; }

}  // namespace

std::optional<Param> parameterOfController(int cc) {
  if (cc < 0 || cc > 127 || kRowOfController[static_cast<std::size_t>(cc)] < 0) return std::nullopt;
  return static_cast<Param>(kRowOfController[static_cast<std::size_t>(cc)]);
}

std::string parameterTitle(const Parameter& p) {
  if (namedAlone(p)) return std::string(ownName(p));
  return std::string(groupTitle(p.group)) + " " + std::string(ownName(p));
}

std::string parameterCaption(const Parameter& p) {
  if (namedAlone(p)) return std::string(ownName(p));
  return std::string(ownName(p)) + " (" + std::string(groupTitle(p.group)) + ")";
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
