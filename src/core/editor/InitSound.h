#pragma once

#include <array>
#include <string_view>

#include "core/editor/ParameterTable.h"
#include "core/editor/ValueControls.h"

namespace rotavox {

// One write into a value control of the panel: a number field's text, a selector's item text,
// a slider's position or a mute box's state (0 not ticked, 1 ticked), all as text.
struct ControlWrite {
  ValueControl control;
  std::string_view value;
};

// The instrument's init sound for the parameters the panel shows: every value control in
// table order with the init value of its row; each write's change handling sends its
// parameter.
inline constexpr std::array<ControlWrite, kValueControlCount> kInitSound = [] {
  std::array<ControlWrite, kValueControlCount> out{};
  for (std::size_t i = 0; i < kValueControlCount; ++i) {
    const ValueControl c = kValueControls[i];
    out[i] = {c, c.muteBox ? parameter(c.row).initMute : parameter(c.row).init};
  }
  return out;
}();

namespace detail {
constexpr std::size_t resetRows(ParamGroup filter) {
  std::size_t n = 0;
  for (const Parameter& p : kParameters) n += p.group == filter && !p.reset.empty() ? 1 : 0;
  return n;
}
template <ParamGroup Filter>
constexpr auto resetWrites() {
  std::array<ControlWrite, resetRows(Filter)> out{};
  std::size_t n = 0;
  for (const Parameter& p : kParameters)
    if (p.group == Filter && !p.reset.empty()) out[n++] = {{p.id, false}, p.reset};
  return out;
}
}  // namespace detail

// "Reset to standard" of each filter: the rows of the filter that have a reset value, in
// table order (the type first, then the six fields).
inline constexpr auto kFilter1Reset = detail::resetWrites<ParamGroup::Filter1>();
inline constexpr auto kFilter2Reset = detail::resetWrites<ParamGroup::Filter2>();

// The init button asks first, unless the panel holds no sound yet (its volume field shows "?").
bool initNeedsConfirmation(std::string_view volumeText);
inline constexpr std::string_view kInitQuestion = "Are you sure to reset this sound to Waldorf init defaults?";
inline constexpr std::string_view kInitCaption = "Confirm init";

}  // namespace rotavox
