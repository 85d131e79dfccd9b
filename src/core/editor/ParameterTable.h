#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rotavox {

// The panel's groups, in the order the Tab key visits them: the enumerator, the title the
// panel shows, and the box the group's rows stand in (x, y, width, height in grid units of 15
// twips; no width: the rows stand on the panel itself).
// clang-format off
#define ROTAVOX_GROUPS(X)                                  \
  X(Filter1,   "Filter 1",          4,   4, 296, 136)     \
  X(Filter2,   "Filter 2",          4, 146, 296, 136)     \
  X(Filters,   "Filters",           0,   0,   0,   0)     \
  X(Osc1,      "OSC 1",           406,   4, 390, 116)     \
  X(Osc2,      "OSC 2",           406, 124, 390, 116)     \
  X(Osc3,      "OSC 3",           406, 244, 390, 116)     \
  X(EnvAmp,    "Envelope Amp",      2, 298, 197, 146)     \
  X(EnvFilter, "Envelope Filter", 201, 298, 197, 146)     \
  X(Main,      "",                404, 366, 164, 124)
// clang-format on

#define ROTAVOX_GROUP_ENUMERATOR(id, ...) id,
enum class ParamGroup : std::uint8_t { ROTAVOX_GROUPS(ROTAVOX_GROUP_ENUMERATOR) };
#undef ROTAVOX_GROUP_ENUMERATOR

struct GroupBox {
  int x, y, w, h;
  constexpr bool exists() const { return w > 0; }
};

struct Group {
  ParamGroup id;
  std::string_view title;
  GroupBox box;
};

#define ROTAVOX_GROUP_ROW(id, title, x, y, w, h) {ParamGroup::id, title, {x, y, w, h}},
inline constexpr Group kGroups[] = {ROTAVOX_GROUPS(ROTAVOX_GROUP_ROW)};
#undef ROTAVOX_GROUP_ROW
#undef ROTAVOX_GROUPS

inline constexpr std::size_t kGroupCount = std::size(kGroups);
constexpr std::size_t index(ParamGroup g) { return static_cast<std::size_t>(g); }
constexpr const Group& group(ParamGroup g) { return kGroups[index(g)]; }
// The title of a group as the panel shows it ("OSC 1", "Filter 1", "Envelope Amp"; "" for the
// main volume's box).
constexpr std::string_view groupTitle(ParamGroup g) { return group(g).title; }

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

// The four stages of an envelope, each edited in one field and drawn as one line.
enum class EnvStage : std::uint8_t { Attack, Decay, Sustain, Release };

// Where a row's controls stand in its group's box (the routing row: on the panel itself), in
// grid units of 15 twips; the kind decides how label, field, knob and slider sit in the cell.
struct PanelCell {
  int x;
  int y;
};

// The sound parameters, one line each, in the order the init sound writes them. The first
// column is the value control's object name, which is also the parameter's name in the
// program (Param::TextF1_cutoff).
//   kind        which change handling serves it (ParamKind)
//   group       the group it stands in (ParamGroup)
//   label       what the panel shows beside it; "" for none
//   companion   knob, mirror slider, mute box, main volume slider or first routing picture
//   companion2  the second routing picture
//   cc          Control Change number
//   low, high   range on screen; item positions for a selector
//   sent        how the shown value becomes the data byte (SentRule)
//   items       a selector's item list (ItemList)
//   init        what the init sound writes into the value control
//   mute        volume rows: the mute box's state after the init sound ("0"/"1")
//   reset       what its filter's "Reset to standard" writes; "" for none
//   stage       the envelope stage an envelope field edits
//   x, y        its cell (PanelCell)
// clang-format off
#define ROTAVOX_PARAMETERS(X) \
  X(TextVolume,       MainVolume, Main,      "Main vol.:", "RollVolume",          "",               7,   0, 127, Position, None,   "110",               "",  "",                  None,     10,  40) \
  X(ComboOSC1shape,   Shape,      Osc1,      "Shape",      "",                    "",              31,   0,   6, ByItem,   Shape7, "Pulse",             "",  "",                  None,    124,  20) \
  X(ComboOSC1oct,     Octave,     Osc1,      "Octave",     "",                    "",              27,   0,   8, ByItem,   Octave, "8\"",               "",  "",                  None,      8,  20) \
  X(TextOSC1semi,     Semitone,   Osc1,      "Semi",       "HScrollOSC1semi",     "",              28, -12,  12, Offset,   None,   "0",                 "",  "",                  None,      8,  48) \
  X(TextOSC1detune,   Detune,     Osc1,      "Detune",     "HScrollOSC1detune",   "",              29, -64,  63, Offset,   None,   "0",                 "",  "",                  None,      8,  70) \
  X(TextOSC1pw,       Knob,       Osc1,      "PW",         "knobOSC1pw",          "",              33,   0, 127, AsShown,  None,   "127",               "",  "",                  None,    262,  20) \
  X(TextOSC1pwm,      Knob,       Osc1,      "PWM",        "knobOSC1pwm",         "",              34,   0, 127, AsShown,  None,   "64",                "",  "",                  None,    308,  20) \
  X(VScrollOSC1vol,   Volume,     Osc1,      "",           "CheckOSC1mute",       "",              52,   0, 127, Position, None,   "127",               "0", "",                  None,    358,  20) \
  X(TextOSC1fbalance, Balance,    Osc1,      "F1 - F2",    "HScrollOSC1fbalance", "",              53, -64,  63, Offset,   None,   "-64",               "",  "",                  None,      8,  92) \
  X(ComboOSC2shape,   Shape,      Osc2,      "Shape",      "",                    "",              39,   0,   6, ByItem,   Shape7, "OSC off",           "",  "",                  None,    124,  20) \
  X(ComboOSC2oct,     Octave,     Osc2,      "Octave",     "",                    "",              35,   0,   8, ByItem,   Octave, "8\"",               "",  "",                  None,      8,  20) \
  X(TextOSC2semi,     Semitone,   Osc2,      "Semi",       "HScrollOSC2semi",     "",              36, -12,  12, Offset,   None,   "0",                 "",  "",                  None,      8,  48) \
  X(TextOSC2detune,   Detune,     Osc2,      "Detune",     "HScrollOSC2detune",   "",              37, -64,  63, Offset,   None,   "0",                 "",  "",                  None,      8,  70) \
  X(TextOSC2pw,       Knob,       Osc2,      "PW",         "knobOSC2pw",          "",              40,   0, 127, AsShown,  None,   "127",               "",  "",                  None,    262,  20) \
  X(TextOSC2pwm,      Knob,       Osc2,      "PWM",        "knobOSC2pwm",         "",              41,   0, 127, AsShown,  None,   "92",                "",  "",                  None,    308,  20) \
  X(VScrollOSC2vol,   Volume,     Osc2,      "",           "CheckOSC2mute",       "",              56,   0, 127, Position, None,   "0",                 "1", "",                  None,    358,  20) \
  X(TextOSC2fbalance, Balance,    Osc2,      "F1 - F2",    "HScrollOSC2fbalance", "",              57, -64,  63, Offset,   None,   "-64",               "",  "",                  None,      8,  92) \
  X(ComboOSC3shape,   Shape,      Osc3,      "Shape",      "",                    "",              46,   0,   4, ByItem,   Shape5, "OSC off",           "",  "",                  None,    124,  20) \
  X(ComboOSC3oct,     Octave,     Osc3,      "Octave",     "",                    "",              42,   0,   8, ByItem,   Octave, "8\"",               "",  "",                  None,      8,  20) \
  X(TextOSC3semi,     Semitone,   Osc3,      "Semi",       "HScrollOSC3semi",     "",              43, -12,  12, Offset,   None,   "0",                 "",  "",                  None,      8,  48) \
  X(TextOSC3detune,   Detune,     Osc3,      "Detune",     "HScrollOSC3detune",   "",              44, -64,  63, Offset,   None,   "0",                 "",  "",                  None,      8,  70) \
  X(TextOSC3pw,       Knob,       Osc3,      "PW",         "knobOSC3pw",          "",              47,   0, 127, AsShown,  None,   "127",               "",  "",                  None,    262,  20) \
  X(TextOSC3pwm,      Knob,       Osc3,      "PWM",        "knobOSC3pwm",         "",              48,   0, 127, AsShown,  None,   "64",                "",  "",                  None,    308,  20) \
  X(VScrollOSC3vol,   Volume,     Osc3,      "",           "CheckOSC3mute",       "",              58,   0, 127, Position, None,   "0",                 "1", "",                  None,    358,  20) \
  X(TextOSC3fbalance, Balance,    Osc3,      "F1 - F2",    "HScrollOSC3fbalance", "",              59, -64,  63, Offset,   None,   "-64",               "",  "",                  None,      8,  92) \
  X(ComboFilter1,     FilterType, Filter1,   "",           "",                    "",              68,   0,  10, ByItem,   Filter, "\\_ Lowpass 24 dB", "",  "\\_ Lowpass 24 dB", None,      8,  22) \
  X(ComboFilter2,     FilterType, Filter2,   "",           "",                    "",              79,   0,  10, ByItem,   Filter, "---- Bypass",       "",  "---- Bypass",       None,      8,  22) \
  X(TextF1_cutoff,    Knob,       Filter1,   "Cutoff",     "knobF1_cutoff",       "",              69,   0, 127, AsShown,  None,   "127",               "",  "127",               None,      4,  50) \
  X(TextF1_reso,      Knob,       Filter1,   "Reso",       "knobF1_reso",         "",              70,   0, 127, AsShown,  None,   "0",                 "",  "0",                 None,     52,  50) \
  X(TextF1_drive,     Knob,       Filter1,   "Drive",      "knobF1_drive",        "",              71,   0, 127, AsShown,  None,   "0",                 "",  "0",                 None,    100,  50) \
  X(TextF1_keytrack,  Knob,       Filter1,   "Keytrck",    "knobF1_keytrack",     "",              72,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    148,  50) \
  X(TextF1_envamt,    Knob,       Filter1,   "EnvAmt",     "knobF1_envamt",       "",              73,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    196,  50) \
  X(TextF1_envvol,    Knob,       Filter1,   "EnvVel",     "knobF1_envvol",       "",              74,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    244,  50) \
  X(TextF2_cutoff,    Knob,       Filter2,   "Cutoff",     "knobF2_cutoff",       "",              80,   0, 127, AsShown,  None,   "127",               "",  "127",               None,      4,  50) \
  X(TextF2_reso,      Knob,       Filter2,   "Reso",       "knobF2_reso",         "",              81,   0, 127, AsShown,  None,   "0",                 "",  "0",                 None,     52,  50) \
  X(TextF2_drive,     Knob,       Filter2,   "Drive",      "knobF2_drive",        "",              82,   0, 127, AsShown,  None,   "0",                 "",  "0",                 None,    100,  50) \
  X(TextF2_keytrack,  Knob,       Filter2,   "Keytrck",    "knobF2_keytrack",     "",              83,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    148,  50) \
  X(TextF2_envamt,    Knob,       Filter2,   "EnvAmt",     "knobF2_envamt",       "",              84,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    196,  50) \
  X(TextF2_envvel,    Knob,       Filter2,   "EnvVel",     "knobF2_envvel",       "",              85,   0, 127, AsShown,  None,   "64",                "",  "64",                None,    244,  50) \
  X(TextFilterParSer, Routing,    Filters,   "",           "ImageParallel",       "ImageSeriell",  67,   0,   1, ByState,  None,   "0",                 "",  "",                  None,    302, 121) \
  X(TextEnv1T1,       Envelope,   EnvAmp,    "Att",        "knobEnvAmp1",         "",             101,   0, 127, AsShown,  None,   "0",                 "",  "",                  Attack,    6,  16) \
  X(TextEnv1T2,       Envelope,   EnvAmp,    "Dec",        "knobEnvAmp2",         "",             102,   0, 127, AsShown,  None,   "0",                 "",  "",                  Decay,    53,  16) \
  X(TextEnv1L2,       Envelope,   EnvAmp,    "Sustain",    "knobEnvAmp3",         "",             103,   0, 127, AsShown,  None,   "127",               "",  "",                  Sustain, 100,  16) \
  X(TextEnv1T3,       Envelope,   EnvAmp,    "Rel",        "knobEnvAmp4",         "",             106,   0, 127, AsShown,  None,   "0",                 "",  "",                  Release, 147,  16) \
  X(TextEnv2T1,       Envelope,   EnvFilter, "Att",        "knobEnvFilt1",        "",              95,   0, 127, AsShown,  None,   "0",                 "",  "",                  Attack,    6,  16) \
  X(TextEnv2T2,       Envelope,   EnvFilter, "Dec",        "knobEnvFilt2",        "",              96,   0, 127, AsShown,  None,   "0",                 "",  "",                  Decay,    53,  16) \
  X(TextEnv2L2,       Envelope,   EnvFilter, "Sustain",    "knobEnvFilt3",        "",              97,   0, 127, AsShown,  None,   "127",               "",  "",                  Sustain, 100,  16) \
  X(TextEnv2T3,       Envelope,   EnvFilter, "Rel",        "knobEnvFilt4",        "",             100,   0, 127, AsShown,  None,   "0",                 "",  "",                  Release, 147,  16)
// clang-format on

#define ROTAVOX_PARAM_ENUMERATOR(name, ...) name,
enum class Param : std::uint8_t { ROTAVOX_PARAMETERS(ROTAVOX_PARAM_ENUMERATOR) };
#undef ROTAVOX_PARAM_ENUMERATOR

struct Parameter {
  Param id;
  std::string_view control;     // the value control, by its object name
  ParamKind kind;
  ParamGroup group;
  std::string_view label;
  std::string_view companion;
  std::string_view companion2;
  int cc;
  int low;
  int high;
  SentRule sent;
  ItemList items;
  std::string_view init;
  std::string_view initMute;
  std::string_view reset;
  std::optional<EnvStage> stage;
  PanelCell cell;
};

namespace detail::stages {
inline constexpr std::optional<EnvStage> None{};
inline constexpr std::optional<EnvStage> Attack{EnvStage::Attack};
inline constexpr std::optional<EnvStage> Decay{EnvStage::Decay};
inline constexpr std::optional<EnvStage> Sustain{EnvStage::Sustain};
inline constexpr std::optional<EnvStage> Release{EnvStage::Release};
}  // namespace detail::stages

#define ROTAVOX_PARAM_ROW(name, kind, group, label, companion, companion2, cc, low, high, sent, items, init, mute, \
                          reset, stage, x, y)                                                                      \
  {Param::name,    #name, ParamKind::kind, ParamGroup::group, label, companion, companion2, cc, low, high,         \
   SentRule::sent, ItemList::items, init, mute, reset, detail::stages::stage, {x, y}},
inline constexpr Parameter kParameters[] = {ROTAVOX_PARAMETERS(ROTAVOX_PARAM_ROW)};
#undef ROTAVOX_PARAM_ROW
#undef ROTAVOX_PARAMETERS

// The sound parameters of the editor, indexed by Param. Everything that names a parameter
// (panel and its layout, handlers, knobs, init sound, filter resets, sound file) is driven
// from here; the init sound writes the rows in table order.
inline constexpr std::size_t kParameterCount = std::size(kParameters);

constexpr std::size_t index(Param p) { return static_cast<std::size_t>(p); }
constexpr const Parameter& parameter(Param p) { return kParameters[index(p)]; }

namespace detail {
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
    // An envelope field edits one stage; nothing else does.
    if ((p.kind == ParamKind::Envelope) != p.stage.has_value()) return false;
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
static_assert(detail::controlChangesAreDistinct(), "a parameter has exactly one controller and one control");
static_assert(detail::everyRowIsSendable());
static_assert(detail::cellsAreDistinct(), "two rows of a group would stand in one place");

// Knobs: the rows whose field is turned by a knob (the companion is the knob).
constexpr bool hasKnob(const Parameter& p) { return p.kind == ParamKind::Knob || p.kind == ParamKind::Envelope; }
namespace detail {
constexpr bool everyKnobIsNamed() {
  for (const Parameter& p : kParameters)
    if (hasKnob(p) && p.companion.empty()) return false;
  return true;
}
}  // namespace detail
static_assert(detail::everyKnobIsNamed(), "a knob beside each knob field, under its own name");

// The row that sends a Control Change number, if one does.
std::optional<Param> parameterOfController(int cc);

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
