#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rotavox {

// The group of the panel a parameter sits in.
enum class ParamGroup : std::uint8_t { Osc1, Osc2, Osc3, Filters, Filter1, Filter2, EnvFilter, EnvAmp, Main };

// What holds a parameter's value, and so which change handling serves it.
enum class ParamKind : std::uint8_t {
  Octave,      // editable selector with the nine octave items
  Shape,       // editable selector with the shape items
  FilterType,  // editable selector with the eleven filter items
  Semitone,    // offset field; its mirror slider writes it but does not follow it
  Detune,      // offset field; likewise
  Balance,     // offset field whose mirror slider follows it
  Knob,        // number field turned by a knob, sent as shown
  Envelope,    // envelope field: knob, range rule and graph lines
  Volume,      // oscillator volume slider with its mute box
  Routing,     // the hidden routing field with its two pictures
  MainVolume,  // main volume field; its slider sends
};

// How the shown value becomes the data byte.
enum class SentRule : std::uint8_t {
  AsShown,   // the number itself
  Offset,    // the number plus 64
  ByItem,    // the selector item's own number
  ByState,   // routing 0 parallel / 1 serial; 0 while a mute box is ticked
  Position,  // the slider's position
};

// The item list of a selector.
enum class ItemList : std::uint8_t { None, Octave, Shape7, Shape5, Filter };

// The typed index of the parameter table: each parameter named by its value control, in
// the order of the table's rows (the order the init sound writes them in).
enum class Param : std::uint8_t {
  TextVolume,
  ComboOSC1shape, ComboOSC1oct, TextOSC1semi, TextOSC1detune, TextOSC1pw, TextOSC1pwm, VScrollOSC1vol, TextOSC1fbalance,
  ComboOSC2shape, ComboOSC2oct, TextOSC2semi, TextOSC2detune, TextOSC2pw, TextOSC2pwm, VScrollOSC2vol, TextOSC2fbalance,
  ComboOSC3shape, ComboOSC3oct, TextOSC3semi, TextOSC3detune, TextOSC3pw, TextOSC3pwm, VScrollOSC3vol, TextOSC3fbalance,
  ComboFilter1, ComboFilter2,
  TextF1_cutoff, TextF1_reso, TextF1_drive, TextF1_keytrack, TextF1_envamt, TextF1_envvol,
  TextF2_cutoff, TextF2_reso, TextF2_drive, TextF2_keytrack, TextF2_envamt, TextF2_envvel,
  TextFilterParSer,
  TextEnv1T1, TextEnv1T2, TextEnv1L2, TextEnv1T3,
  TextEnv2T1, TextEnv2T2, TextEnv2L2, TextEnv2T3,
};

// Where a row's controls stand in its group's box (the routing row: on the panel itself), in
// grid units of 15 twips; the kind decides how label, field, knob and slider sit in the cell.
struct PanelCell {
  int x;
  int y;
};

struct Parameter {
  Param id;
  std::string_view control;     // the value control, by its object name
  ParamKind kind;
  ParamGroup group;
  std::string_view label;       // the label the panel shows beside it; "" for none
  std::string_view companion;   // knob, mirror slider, mute box, main slider or first routing picture
  std::string_view companion2;  // the second routing picture
  int cc;                       // Control Change number
  int low;                      // range on screen; item positions for a selector
  int high;
  SentRule sent;
  ItemList items;
  std::string_view init;        // what the init sound writes into the value control
  std::string_view initMute;    // volume rows: the mute box's state after the init sound ("0"/"1")
  std::string_view reset;       // what its filter's "Reset to standard" writes; "" for none
  PanelCell cell;
};

namespace detail {
using P = Param;
using K = ParamKind;
using G = ParamGroup;
using S = SentRule;
using I = ItemList;

// clang-format off
inline constexpr Parameter kParameterRows[] = {
// id                   control             kind           group         label         companion              companion2       cc  low  high  sent         items      init                 mute  reset                cell
  {P::TextVolume,       "TextVolume",       K::MainVolume, G::Main,      "Main vol.:", "RollVolume",          "",               7,   0,  127, S::Position, I::None,   "110",               "",   "",                  { 10,  40}},
  {P::ComboOSC1shape,   "ComboOSC1shape",   K::Shape,      G::Osc1,      "Shape",      "",                    "",              31,   0,    6, S::ByItem,   I::Shape7, "Pulse",             "",   "",                  {124,  20}},
  {P::ComboOSC1oct,     "ComboOSC1oct",     K::Octave,     G::Osc1,      "Octave",     "",                    "",              27,   0,    8, S::ByItem,   I::Octave, "8\"",               "",   "",                  {  8,  20}},
  {P::TextOSC1semi,     "TextOSC1semi",     K::Semitone,   G::Osc1,      "Semi",       "HScrollOSC1semi",     "",              28, -12,   12, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  48}},
  {P::TextOSC1detune,   "TextOSC1detune",   K::Detune,     G::Osc1,      "Detune",     "HScrollOSC1detune",   "",              29, -64,   63, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  70}},
  {P::TextOSC1pw,       "TextOSC1pw",       K::Knob,       G::Osc1,      "PW",         "knobOSC1pw",          "",              33,   0,  127, S::AsShown,  I::None,   "127",               "",   "",                  {262,  20}},
  {P::TextOSC1pwm,      "TextOSC1pwm",      K::Knob,       G::Osc1,      "PWM",        "knobOSC1pwm",         "",              34,   0,  127, S::AsShown,  I::None,   "64",                "",   "",                  {308,  20}},
  {P::VScrollOSC1vol,   "VScrollOSC1vol",   K::Volume,     G::Osc1,      "",           "CheckOSC1mute",       "",              52,   0,  127, S::Position, I::None,   "127",               "0",  "",                  {358,  20}},
  {P::TextOSC1fbalance, "TextOSC1fbalance", K::Balance,    G::Osc1,      "F1 - F2",    "HScrollOSC1fbalance", "",              53, -64,   63, S::Offset,   I::None,   "-64",               "",   "",                  {  8,  92}},
  {P::ComboOSC2shape,   "ComboOSC2shape",   K::Shape,      G::Osc2,      "Shape",      "",                    "",              39,   0,    6, S::ByItem,   I::Shape7, "OSC off",           "",   "",                  {124,  20}},
  {P::ComboOSC2oct,     "ComboOSC2oct",     K::Octave,     G::Osc2,      "Octave",     "",                    "",              35,   0,    8, S::ByItem,   I::Octave, "8\"",               "",   "",                  {  8,  20}},
  {P::TextOSC2semi,     "TextOSC2semi",     K::Semitone,   G::Osc2,      "Semi",       "HScrollOSC2semi",     "",              36, -12,   12, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  48}},
  {P::TextOSC2detune,   "TextOSC2detune",   K::Detune,     G::Osc2,      "Detune",     "HScrollOSC2detune",   "",              37, -64,   63, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  70}},
  {P::TextOSC2pw,       "TextOSC2pw",       K::Knob,       G::Osc2,      "PW",         "knobOSC2pw",          "",              40,   0,  127, S::AsShown,  I::None,   "127",               "",   "",                  {262,  20}},
  {P::TextOSC2pwm,      "TextOSC2pwm",      K::Knob,       G::Osc2,      "PWM",        "knobOSC2pwm",         "",              41,   0,  127, S::AsShown,  I::None,   "92",                "",   "",                  {308,  20}},
  {P::VScrollOSC2vol,   "VScrollOSC2vol",   K::Volume,     G::Osc2,      "",           "CheckOSC2mute",       "",              56,   0,  127, S::Position, I::None,   "0",                 "1",  "",                  {358,  20}},
  {P::TextOSC2fbalance, "TextOSC2fbalance", K::Balance,    G::Osc2,      "F1 - F2",    "HScrollOSC2fbalance", "",              57, -64,   63, S::Offset,   I::None,   "-64",               "",   "",                  {  8,  92}},
  {P::ComboOSC3shape,   "ComboOSC3shape",   K::Shape,      G::Osc3,      "Shape",      "",                    "",              46,   0,    4, S::ByItem,   I::Shape5, "OSC off",           "",   "",                  {124,  20}},
  {P::ComboOSC3oct,     "ComboOSC3oct",     K::Octave,     G::Osc3,      "Octave",     "",                    "",              42,   0,    8, S::ByItem,   I::Octave, "8\"",               "",   "",                  {  8,  20}},
  {P::TextOSC3semi,     "TextOSC3semi",     K::Semitone,   G::Osc3,      "Semi",       "HScrollOSC3semi",     "",              43, -12,   12, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  48}},
  {P::TextOSC3detune,   "TextOSC3detune",   K::Detune,     G::Osc3,      "Detune",     "HScrollOSC3detune",   "",              44, -64,   63, S::Offset,   I::None,   "0",                 "",   "",                  {  8,  70}},
  {P::TextOSC3pw,       "TextOSC3pw",       K::Knob,       G::Osc3,      "PW",         "knobOSC3pw",          "",              47,   0,  127, S::AsShown,  I::None,   "127",               "",   "",                  {262,  20}},
  {P::TextOSC3pwm,      "TextOSC3pwm",      K::Knob,       G::Osc3,      "PWM",        "knobOSC3pwm",         "",              48,   0,  127, S::AsShown,  I::None,   "64",                "",   "",                  {308,  20}},
  {P::VScrollOSC3vol,   "VScrollOSC3vol",   K::Volume,     G::Osc3,      "",           "CheckOSC3mute",       "",              58,   0,  127, S::Position, I::None,   "0",                 "1",  "",                  {358,  20}},
  {P::TextOSC3fbalance, "TextOSC3fbalance", K::Balance,    G::Osc3,      "F1 - F2",    "HScrollOSC3fbalance", "",              59, -64,   63, S::Offset,   I::None,   "-64",               "",   "",                  {  8,  92}},
  {P::ComboFilter1,     "ComboFilter1",     K::FilterType, G::Filter1,   "",           "",                    "",              68,   0,   10, S::ByItem,   I::Filter, "\\_ Lowpass 24 dB", "",   "\\_ Lowpass 24 dB", {  8,  22}},
  {P::ComboFilter2,     "ComboFilter2",     K::FilterType, G::Filter2,   "",           "",                    "",              79,   0,   10, S::ByItem,   I::Filter, "---- Bypass",       "",   "---- Bypass",       {  8,  22}},
  {P::TextF1_cutoff,    "TextF1_cutoff",    K::Knob,       G::Filter1,   "Cutoff",     "knobF1_cutoff",       "",              69,   0,  127, S::AsShown,  I::None,   "127",               "",   "127",               {  4,  50}},
  {P::TextF1_reso,      "TextF1_reso",      K::Knob,       G::Filter1,   "Reso",       "knobF1_reso",         "",              70,   0,  127, S::AsShown,  I::None,   "0",                 "",   "0",                 { 52,  50}},
  {P::TextF1_drive,     "TextF1_drive",     K::Knob,       G::Filter1,   "Drive",      "knobF1_drive",        "",              71,   0,  127, S::AsShown,  I::None,   "0",                 "",   "0",                 {100,  50}},
  {P::TextF1_keytrack,  "TextF1_keytrack",  K::Knob,       G::Filter1,   "Keytrck",    "knobF1_keytrack",     "",              72,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {148,  50}},
  {P::TextF1_envamt,    "TextF1_envamt",    K::Knob,       G::Filter1,   "EnvAmt",     "knobF1_envamt",       "",              73,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {196,  50}},
  {P::TextF1_envvol,    "TextF1_envvol",    K::Knob,       G::Filter1,   "EnvVel",     "knobF1_envvol",       "",              74,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {244,  50}},
  {P::TextF2_cutoff,    "TextF2_cutoff",    K::Knob,       G::Filter2,   "Cutoff",     "knobF2_cutoff",       "",              80,   0,  127, S::AsShown,  I::None,   "127",               "",   "127",               {  4,  50}},
  {P::TextF2_reso,      "TextF2_reso",      K::Knob,       G::Filter2,   "Reso",       "knobF2_reso",         "",              81,   0,  127, S::AsShown,  I::None,   "0",                 "",   "0",                 { 52,  50}},
  {P::TextF2_drive,     "TextF2_drive",     K::Knob,       G::Filter2,   "Drive",      "knobF2_drive",        "",              82,   0,  127, S::AsShown,  I::None,   "0",                 "",   "0",                 {100,  50}},
  {P::TextF2_keytrack,  "TextF2_keytrack",  K::Knob,       G::Filter2,   "Keytrck",    "knobF2_keytrack",     "",              83,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {148,  50}},
  {P::TextF2_envamt,    "TextF2_envamt",    K::Knob,       G::Filter2,   "EnvAmt",     "knobF2_envamt",       "",              84,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {196,  50}},
  {P::TextF2_envvel,    "TextF2_envvel",    K::Knob,       G::Filter2,   "EnvVel",     "knobF2_envvel",       "",              85,   0,  127, S::AsShown,  I::None,   "64",                "",   "64",                {244,  50}},
  {P::TextFilterParSer, "TextFilterParSer", K::Routing,    G::Filters,   "",           "ImageParallel",       "ImageSeriell",  67,   0,    1, S::ByState,  I::None,   "0",                 "",   "",                  {302, 121}},
  {P::TextEnv1T1,       "TextEnv1T1",       K::Envelope,   G::EnvAmp,    "Att",        "knobEnvAmp1",         "",             101,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  {  6,  16}},
  {P::TextEnv1T2,       "TextEnv1T2",       K::Envelope,   G::EnvAmp,    "Dec",        "knobEnvAmp2",         "",             102,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  { 53,  16}},
  {P::TextEnv1L2,       "TextEnv1L2",       K::Envelope,   G::EnvAmp,    "Sustain",    "knobEnvAmp3",         "",             103,   0,  127, S::AsShown,  I::None,   "127",               "",   "",                  {100,  16}},
  {P::TextEnv1T3,       "TextEnv1T3",       K::Envelope,   G::EnvAmp,    "Rel",        "knobEnvAmp4",         "",             106,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  {147,  16}},
  {P::TextEnv2T1,       "TextEnv2T1",       K::Envelope,   G::EnvFilter, "Att",        "knobEnvFilt1",        "",              95,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  {  6,  16}},
  {P::TextEnv2T2,       "TextEnv2T2",       K::Envelope,   G::EnvFilter, "Dec",        "knobEnvFilt2",        "",              96,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  { 53,  16}},
  {P::TextEnv2L2,       "TextEnv2L2",       K::Envelope,   G::EnvFilter, "Sustain",    "knobEnvFilt3",        "",              97,   0,  127, S::AsShown,  I::None,   "127",               "",   "",                  {100,  16}},
  {P::TextEnv2T3,       "TextEnv2T3",       K::Envelope,   G::EnvFilter, "Rel",        "knobEnvFilt4",        "",             100,   0,  127, S::AsShown,  I::None,   "0",                 "",   "",                  {147,  16}},
};
// clang-format on
}  // namespace detail

// The 48 sound parameters of the editor, indexed by Param. Everything that names a parameter
// (panel and its layout, handlers, knobs, init sound, filter resets, sound file) is driven
// from here; the init sound writes the rows in table order.
inline constexpr std::size_t kParameterCount = 48;
static_assert(std::size(detail::kParameterRows) == kParameterCount, "one row per sound parameter");
inline constexpr const Parameter (&kParameters)[kParameterCount] = detail::kParameterRows;

constexpr std::size_t index(Param p) { return static_cast<std::size_t>(p); }
constexpr const Parameter& parameter(Param p) { return kParameters[index(p)]; }

namespace detail {
constexpr bool rowsStandAtTheirIndex() {
  for (std::size_t i = 0; i < kParameterCount; ++i)
    if (index(kParameters[i].id) != i) return false;
  return true;
}
constexpr bool controlChangesAreDistinct() {
  for (std::size_t i = 0; i < kParameterCount; ++i)
    for (std::size_t j = i + 1; j < kParameterCount; ++j)
      if (kParameters[i].cc == kParameters[j].cc || kParameters[i].control == kParameters[j].control) return false;
  return true;
}
constexpr bool everyRowIsSendable() {
  for (const Parameter& p : kParameters) {
    if (p.cc < 0 || p.cc > 127 || p.low > p.high) return false;
    if ((p.sent == SentRule::ByItem) != (p.items != ItemList::None)) return false;
    if (p.init.empty()) return false;
    // A mute box's state comes with exactly the volume rows; resets only touch the filters.
    if ((p.kind == ParamKind::Volume) != !p.initMute.empty()) return false;
    if (!p.reset.empty() && p.group != ParamGroup::Filter1 && p.group != ParamGroup::Filter2) return false;
  }
  return true;
}
constexpr bool cellsAreDistinct() {
  for (std::size_t i = 0; i < kParameterCount; ++i)
    for (std::size_t j = i + 1; j < kParameterCount; ++j)
      if (kParameters[i].group == kParameters[j].group && kParameters[i].cell.x == kParameters[j].cell.x &&
          kParameters[i].cell.y == kParameters[j].cell.y)
        return false;
  return true;
}
}  // namespace detail
static_assert(detail::rowsStandAtTheirIndex(), "the rows stand in the order of Param");
static_assert(detail::controlChangesAreDistinct(), "a parameter has exactly one controller and one control");
static_assert(detail::everyRowIsSendable());
static_assert(detail::cellsAreDistinct(), "two rows of a group would stand in one place");

// Knobs: the rows whose field is turned by a knob (the companion is the knob).
constexpr bool hasKnob(const Parameter& p) { return p.kind == ParamKind::Knob || p.kind == ParamKind::Envelope; }
inline constexpr std::size_t kKnobCount = 26;
namespace detail {
constexpr std::size_t knobRows() {
  std::size_t n = 0;
  for (const Parameter& p : kParameters) n += hasKnob(p) && !p.companion.empty() ? 1 : 0;
  return n;
}
}  // namespace detail
static_assert(detail::knobRows() == kKnobCount, "a knob beside each of the 26 knob fields");

// The row that sends a Control Change number, if one does.
std::optional<Param> parameterOfController(int cc);

// The title of a group as the panel shows it ("OSC 1", "Filter 1", "Envelope Amp"; "" for the
// main volume's box).
std::string_view groupTitle(ParamGroup group);
// How the program's own messages name a parameter: "Filter 1 Cutoff", "OSC 2 Volume",
// "Filter routing", "Main volume".
std::string parameterTitle(const Parameter& p);
// The same for an undo step: "Cutoff (Filter 1)", "Volume (OSC 2)", "Main volume".
std::string parameterCaption(const Parameter& p);

// What a value control's content sends.
enum class FieldState : std::uint8_t {
  NoValue,  // empty, or the start text "?": nothing to send, nothing wrong
  Invalid,  // not a whole number within the range on screen: nothing is sent
  Valid,
};

struct FieldReading {
  FieldState state = FieldState::NoValue;
  int shown = 0;  // the whole number shown (selectors: the item's position in its list)
  int byte = 0;   // the data byte that goes out, 0..127
};

// Reads the text of a parameter's value control (a number field's text, a selector's shown
// text, a slider's position written as text) and gives the data byte it sends. Never a byte
// outside 0..127, whatever the text.
FieldReading readField(const Parameter& p, std::string_view text);

// The byte an oscillator volume sends: the slider's position, 0 while its mute box is ticked.
int oscVolumeByte(int position, bool muted);

// A tool-tip text naming the values a field takes ("Whole number from -64 to 63").
std::string rangeHint(const Parameter& p);

// Main volume field: true when its leading number is beyond 127 either way, so the field is
// put back to "0".
bool mainVolumeOverflows(std::string_view text);
// Main volume field: the slider position its text asks for: the leading number without its
// sign, rounded; 0..127 once mainVolumeOverflows() has been answered.
int mainVolumePosition(std::string_view text);

// Routing field: 1 (serial) for a text that reads exactly 1, else none: the field is put
// back to "0" (parallel).
std::optional<int> routingState(std::string_view text);

}  // namespace rotavox
