#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/editor/ParameterTable.h"

namespace rotavox {

// A value control of the panel: a parameter's own control, or the mute box beside an
// oscillator's volume slider, which the init sound and the sound file set on their own.
struct ValueControl {
  Param row;
  bool muteBox = false;
  constexpr bool operator==(const ValueControl&) const = default;
};

constexpr ValueControl muteBoxOf(Param volumeRow) { return {volumeRow, true}; }

namespace detail {
constexpr std::size_t volumeRows() {
  std::size_t n = 0;
  for (const Parameter& p : kParameters) n += p.kind == ParamKind::Volume ? 1 : 0;
  return n;
}
}  // namespace detail

inline constexpr std::size_t kValueControlCount = kParameterCount + detail::volumeRows();

// Every value control in table order, each volume row's mute box right after its slider.
inline constexpr std::array<ValueControl, kValueControlCount> kValueControls = [] {
  std::array<ValueControl, kValueControlCount> out{};
  std::size_t n = 0;
  for (const Parameter& p : kParameters) {
    out[n++] = {p.id, false};
    if (p.kind == ParamKind::Volume) out[n++] = muteBoxOf(p.id);
  }
  return out;
}();

// The position of a value control in kValueControls.
constexpr std::size_t valueIndex(ValueControl c) {
  for (std::size_t i = 0; i < kValueControlCount; ++i)
    if (kValueControls[i] == c) return i;
  return kValueControlCount;
}

// The object name of a value control ("TextF1_cutoff", "CheckOSC1mute").
constexpr std::string_view controlName(ValueControl c) {
  const Parameter& p = parameter(c.row);
  return c.muteBox ? p.companion : p.control;
}

// How an undo step names an edit of this control: "Cutoff (Filter 1)", "Mute (OSC 2)".
inline std::string controlCaption(ValueControl c) {
  const Parameter& p = parameter(c.row);
  return c.muteBox ? "Mute (" + std::string(groupTitle(p.group)) + ")" : parameterCaption(p);
}

// What the panel shows in each value control, in the order of kValueControls: a number
// field's or selector's text, a slider's position in decimal, a mute box's "0" or "1".
using SoundState = std::array<std::string, kValueControlCount>;

}  // namespace rotavox
