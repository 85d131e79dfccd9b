#pragma once

#include <iterator>
#include <span>
#include <string_view>

#include "core/editor/ParameterTable.h"

namespace rotavox {

// One write into a control of the panel: a number field's text, a selector's item text, a
// slider's position or a mute box's state (0 not ticked, 1 ticked), all as text.
struct ControlWrite {
  std::string_view control;
  std::string_view value;
};

// clang-format off
// The instrument's init sound for the parameters the panel shows, written in this order; each
// write's change handling sends its parameter. Oscillator 1 plays a pulse at full volume,
// oscillators 2 and 3 are off, volume 0 and muted.
inline constexpr ControlWrite kInitSound[] = {
  {"TextVolume",       "110"},
  {"ComboOSC1shape",   "Pulse"},
  {"ComboOSC1oct",     "8\""},
  {"TextOSC1semi",     "0"},
  {"TextOSC1detune",   "0"},
  {"TextOSC1pw",       "127"},
  {"TextOSC1pwm",      "64"},
  {"VScrollOSC1vol",   "127"},
  {"CheckOSC1mute",    "0"},
  {"TextOSC1fbalance", "-64"},
  {"ComboOSC2shape",   "OSC off"},
  {"ComboOSC2oct",     "8\""},
  {"TextOSC2semi",     "0"},
  {"TextOSC2detune",   "0"},
  {"TextOSC2pw",       "127"},
  {"TextOSC2pwm",      "92"},
  {"VScrollOSC2vol",   "0"},
  {"CheckOSC2mute",    "1"},
  {"TextOSC2fbalance", "-64"},
  {"ComboOSC3shape",   "OSC off"},
  {"ComboOSC3oct",     "8\""},
  {"TextOSC3semi",     "0"},
  {"TextOSC3detune",   "0"},
  {"TextOSC3pw",       "127"},
  {"TextOSC3pwm",      "64"},
  {"VScrollOSC3vol",   "0"},
  {"CheckOSC3mute",    "1"},
  {"TextOSC3fbalance", "-64"},
  {"ComboFilter1",     "\\_ Lowpass 24 dB"},
  {"ComboFilter2",     "---- Bypass"},
  {"TextF1_cutoff",    "127"},
  {"TextF1_reso",      "0"},
  {"TextF1_drive",     "0"},
  {"TextF1_keytrack",  "64"},
  {"TextF1_envamt",    "64"},
  {"TextF1_envvol",    "64"},
  {"TextF2_cutoff",    "127"},
  {"TextF2_reso",      "0"},
  {"TextF2_drive",     "0"},
  {"TextF2_keytrack",  "64"},
  {"TextF2_envamt",    "64"},
  {"TextF2_envvel",    "64"},
  {"TextFilterParSer", "0"},
  {"TextEnv1T1",       "0"},
  {"TextEnv1T2",       "0"},
  {"TextEnv1L2",       "127"},
  {"TextEnv1T3",       "0"},
  {"TextEnv2T1",       "0"},
  {"TextEnv2T2",       "0"},
  {"TextEnv2L2",       "127"},
  {"TextEnv2T3",       "0"},
};

// "Reset to standard" of each filter: the type first, then the six fields.
inline constexpr ControlWrite kFilter1Reset[] = {
  {"ComboFilter1",    "\\_ Lowpass 24 dB"},
  {"TextF1_cutoff",   "127"},
  {"TextF1_reso",     "0"},
  {"TextF1_drive",    "0"},
  {"TextF1_keytrack", "64"},
  {"TextF1_envamt",   "64"},
  {"TextF1_envvol",   "64"},
};
inline constexpr ControlWrite kFilter2Reset[] = {
  {"ComboFilter2",    "---- Bypass"},
  {"TextF2_cutoff",   "127"},
  {"TextF2_reso",     "0"},
  {"TextF2_drive",    "0"},
  {"TextF2_keytrack", "64"},
  {"TextF2_envamt",   "64"},
  {"TextF2_envvel",   "64"},
};
// clang-format on
static_assert(std::size(kInitSound) == 51, "the init sound is 51 writes");
static_assert(std::size(kFilter1Reset) == 7 && std::size(kFilter2Reset) == 7);

// The writes of a filter's reset button (Filter1 or Filter2).
std::span<const ControlWrite> filterReset(ParamGroup filter);

// The init button asks first, unless the panel holds no sound yet (its volume field shows "?").
bool initNeedsConfirmation(std::string_view volumeText);
inline constexpr std::string_view kInitQuestion = "Are you sure to reset this sound to Waldorf init defaults?";
inline constexpr std::string_view kInitCaption = "Confirm init";

}  // namespace rotavox
