#pragma once

#include <cstddef>

#include "core/editor/ParameterTable.h"
#include "core/editor/ValueControls.h"

namespace rotavox {

enum class SoundLineKind {
  Header,    // the header text
  Text,      // a control's shown text, quoted
  Octave,    // an octave selector's text less its last character, quoted; '"' added back on reading
  Position,  // a slider's position or a mute box's state, as an integer
  Reserved,  // a fixed integer, dropped on reading
};

struct SoundFileLine {
  SoundLineKind kind;
  ValueControl control;  // the control the line stores; unused for header and reserved lines
  int constant;          // the value written for a reserved line
};

namespace detail::lines {
using K = SoundLineKind;
using P = Param;

constexpr SoundFileLine header() { return {K::Header, {}, 0}; }
constexpr SoundFileLine text(Param row) { return {K::Text, {row}, 0}; }
constexpr SoundFileLine octave(Param row) { return {K::Octave, {row}, 0}; }
constexpr SoundFileLine position(Param row) { return {K::Position, {row}, 0}; }
constexpr SoundFileLine mute(Param volumeRow) { return {K::Position, muteBoxOf(volumeRow), 0}; }
constexpr SoundFileLine reserved(int value) { return {K::Reserved, {}, value}; }

// Which control stands on which line of a sound file, line 1 first. The file keeps the
// instrument's own order, not the table's, and lines the panel does not use.
// clang-format off
inline constexpr SoundFileLine kSoundFileLines[] = {
    header(),                                                        //  1
    text(P::TextVolume),                                             //  2
    text(P::ComboOSC1shape),     octave(P::ComboOSC1oct),            //  3,  4
    text(P::TextOSC1semi),       text(P::TextOSC1detune),            //  5,  6
    text(P::TextOSC1pw),         text(P::TextOSC1pwm),               //  7,  8
    reserved(0),                 reserved(0),                        //  9, 10
    position(P::VScrollOSC1vol), mute(P::VScrollOSC1vol),            // 11, 12
    text(P::TextOSC1fbalance),                                       // 13
    text(P::ComboOSC2shape),     octave(P::ComboOSC2oct),            // 14, 15
    text(P::TextOSC2semi),       text(P::TextOSC2detune),            // 16, 17
    text(P::TextOSC2pw),         text(P::TextOSC2pwm),               // 18, 19
    reserved(0),                 reserved(0),                        // 20, 21
    position(P::VScrollOSC2vol), mute(P::VScrollOSC2vol),            // 22, 23
    text(P::TextOSC2fbalance),                                       // 24
    text(P::ComboOSC3shape),     octave(P::ComboOSC3oct),            // 25, 26
    text(P::TextOSC3semi),       text(P::TextOSC3detune),            // 27, 28
    text(P::TextOSC3pw),         text(P::TextOSC3pwm),               // 29, 30
    reserved(0),                 reserved(0),                        // 31, 32
    position(P::VScrollOSC3vol), mute(P::VScrollOSC3vol),            // 33, 34
    text(P::TextOSC3fbalance),                                       // 35
    reserved(0),  reserved(64), reserved(64), reserved(64),          // 36..39
    reserved(0),  reserved(0),  reserved(0),  reserved(0),           // 40..43
    reserved(64), reserved(0),                                       // 44, 45
    text(P::ComboFilter1),                                           // 46
    text(P::TextF1_cutoff),      text(P::TextF1_reso),               // 47, 48
    text(P::TextF1_drive),       text(P::TextF1_keytrack),           // 49, 50
    text(P::TextF1_envamt),      text(P::TextF1_envvol),             // 51, 52
    text(P::ComboFilter2),                                           // 53
    text(P::TextF2_cutoff),      text(P::TextF2_reso),               // 54, 55
    text(P::TextF2_drive),       text(P::TextF2_keytrack),           // 56, 57
    text(P::TextF2_envamt),      text(P::TextF2_envvel),             // 58, 59
    text(P::TextFilterParSer),                                       // 60
    text(P::TextEnv1T1), text(P::TextEnv1T2), text(P::TextEnv1L2), text(P::TextEnv1T3),  // 61..64
    text(P::TextEnv2T1), text(P::TextEnv2T2), text(P::TextEnv2L2), text(P::TextEnv2T3),  // 65..68
};
// clang-format on
}  // namespace detail::lines

using detail::lines::kSoundFileLines;
inline constexpr int kSoundFileLineCount = static_cast<int>(std::size(kSoundFileLines));

namespace detail::lines {
// Every value control stands on exactly one line: octave selectors on octave lines, the
// volume sliders and their mute boxes on integer lines, everything else on text lines.
constexpr bool everyControlOnOneLine() {
  int lines[kValueControlCount] = {};
  for (const SoundFileLine& line : kSoundFileLines) {
    if (line.kind == SoundLineKind::Header || line.kind == SoundLineKind::Reserved) continue;
    const ParamKind kind = parameter(line.control.row).kind;
    if ((line.kind == SoundLineKind::Octave) != (kind == ParamKind::Octave)) return false;
    if ((line.kind == SoundLineKind::Position) != (kind == ParamKind::Volume)) return false;
    ++lines[valueIndex(line.control)];
  }
  for (int n : lines)
    if (n != 1) return false;
  return true;
}
}  // namespace detail::lines
static_assert(detail::lines::everyControlOnOneLine(), "the sound file stores each value control of the panel once");
static_assert(kSoundFileLines[0].kind == SoundLineKind::Header, "the file begins with its header");

}  // namespace rotavox
