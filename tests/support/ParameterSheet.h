#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rotavox::test {

// The editor's parameters as the instrument's parameter map, its init sound and the sound file
// format document them, typed by hand from those tables (never generated from the program's
// own table). The tests take every fact of a parameter from here.

// How a shown value becomes the data byte: the number itself, the number plus 64, or the
// number of the selector's item.
enum class Sends { AsShown, Plus64, Octave, Shape, Shape5, FilterType };

struct SheetItem {
  const char* text;
  int value;
};

struct SheetRow {
  const char* control;    // the value control
  const char* companion;  // knob, mirror slider, mute box, main volume slider or first routing picture
  int cc;
  int low, high;          // the range on screen; a selector's item positions
  Sends sends;
  const char* init;       // what the init sound writes
  const char* initMute;   // an oscillator volume's mute box after the init sound; "" for the rest
  int line;               // the sound file line of the value; a mute box stands on the next line
};

// In the order the init sound writes them.
// clang-format off
inline const std::vector<SheetRow> kSheet{
//  control             companion              cc  low high  sends               init                  mute line
  {"TextVolume",        "RollVolume",           7,   0, 127, Sends::AsShown,    "110",               "",    2},
  {"ComboOSC1shape",    "",                    31,   0,   6, Sends::Shape,      "Pulse",             "",    3},
  {"ComboOSC1oct",      "",                    27,   0,   8, Sends::Octave,     "8\"",               "",    4},
  {"TextOSC1semi",      "HScrollOSC1semi",     28, -12,  12, Sends::Plus64,     "0",                 "",    5},
  {"TextOSC1detune",    "HScrollOSC1detune",   29, -64,  63, Sends::Plus64,     "0",                 "",    6},
  {"TextOSC1pw",        "knobOSC1pw",          33,   0, 127, Sends::AsShown,    "127",               "",    7},
  {"TextOSC1pwm",       "knobOSC1pwm",         34,   0, 127, Sends::AsShown,    "64",                "",    8},
  {"VScrollOSC1vol",    "CheckOSC1mute",       52,   0, 127, Sends::AsShown,    "127",               "0",  11},
  {"TextOSC1fbalance",  "HScrollOSC1fbalance", 53, -64,  63, Sends::Plus64,     "-64",               "",   13},
  {"ComboOSC2shape",    "",                    39,   0,   6, Sends::Shape,      "OSC off",           "",   14},
  {"ComboOSC2oct",      "",                    35,   0,   8, Sends::Octave,     "8\"",               "",   15},
  {"TextOSC2semi",      "HScrollOSC2semi",     36, -12,  12, Sends::Plus64,     "0",                 "",   16},
  {"TextOSC2detune",    "HScrollOSC2detune",   37, -64,  63, Sends::Plus64,     "0",                 "",   17},
  {"TextOSC2pw",        "knobOSC2pw",          40,   0, 127, Sends::AsShown,    "127",               "",   18},
  {"TextOSC2pwm",       "knobOSC2pwm",         41,   0, 127, Sends::AsShown,    "92",                "",   19},
  {"VScrollOSC2vol",    "CheckOSC2mute",       56,   0, 127, Sends::AsShown,    "0",                 "1",  22},
  {"TextOSC2fbalance",  "HScrollOSC2fbalance", 57, -64,  63, Sends::Plus64,     "-64",               "",   24},
  {"ComboOSC3shape",    "",                    46,   0,   4, Sends::Shape5,     "OSC off",           "",   25},
  {"ComboOSC3oct",      "",                    42,   0,   8, Sends::Octave,     "8\"",               "",   26},
  {"TextOSC3semi",      "HScrollOSC3semi",     43, -12,  12, Sends::Plus64,     "0",                 "",   27},
  {"TextOSC3detune",    "HScrollOSC3detune",   44, -64,  63, Sends::Plus64,     "0",                 "",   28},
  {"TextOSC3pw",        "knobOSC3pw",          47,   0, 127, Sends::AsShown,    "127",               "",   29},
  {"TextOSC3pwm",       "knobOSC3pwm",         48,   0, 127, Sends::AsShown,    "64",                "",   30},
  {"VScrollOSC3vol",    "CheckOSC3mute",       58,   0, 127, Sends::AsShown,    "0",                 "1",  33},
  {"TextOSC3fbalance",  "HScrollOSC3fbalance", 59, -64,  63, Sends::Plus64,     "-64",               "",   35},
  {"ComboFilter1",      "",                    68,   0,  10, Sends::FilterType, "\\_ Lowpass 24 dB", "",   46},
  {"ComboFilter2",      "",                    79,   0,  10, Sends::FilterType, "---- Bypass",       "",   53},
  {"TextF1_cutoff",     "knobF1_cutoff",       69,   0, 127, Sends::AsShown,    "127",               "",   47},
  {"TextF1_reso",       "knobF1_reso",         70,   0, 127, Sends::AsShown,    "0",                 "",   48},
  {"TextF1_drive",      "knobF1_drive",        71,   0, 127, Sends::AsShown,    "0",                 "",   49},
  {"TextF1_keytrack",   "knobF1_keytrack",     72,   0, 127, Sends::AsShown,    "64",                "",   50},
  {"TextF1_envamt",     "knobF1_envamt",       73,   0, 127, Sends::AsShown,    "64",                "",   51},
  {"TextF1_envvol",     "knobF1_envvol",       74,   0, 127, Sends::AsShown,    "64",                "",   52},
  {"TextF2_cutoff",     "knobF2_cutoff",       80,   0, 127, Sends::AsShown,    "127",               "",   54},
  {"TextF2_reso",       "knobF2_reso",         81,   0, 127, Sends::AsShown,    "0",                 "",   55},
  {"TextF2_drive",      "knobF2_drive",        82,   0, 127, Sends::AsShown,    "0",                 "",   56},
  {"TextF2_keytrack",   "knobF2_keytrack",     83,   0, 127, Sends::AsShown,    "64",                "",   57},
  {"TextF2_envamt",     "knobF2_envamt",       84,   0, 127, Sends::AsShown,    "64",                "",   58},
  {"TextF2_envvel",     "knobF2_envvel",       85,   0, 127, Sends::AsShown,    "64",                "",   59},
  {"TextFilterParSer",  "ImageParallel",       67,   0,   1, Sends::AsShown,    "0",                 "",   60},
  {"TextEnv1T1",        "knobEnvAmp1",        101,   0, 127, Sends::AsShown,    "0",                 "",   61},
  {"TextEnv1T2",        "knobEnvAmp2",        102,   0, 127, Sends::AsShown,    "0",                 "",   62},
  {"TextEnv1L2",        "knobEnvAmp3",        103,   0, 127, Sends::AsShown,    "127",               "",   63},
  {"TextEnv1T3",        "knobEnvAmp4",        106,   0, 127, Sends::AsShown,    "0",                 "",   64},
  {"TextEnv2T1",        "knobEnvFilt1",        95,   0, 127, Sends::AsShown,    "0",                 "",   65},
  {"TextEnv2T2",        "knobEnvFilt2",        96,   0, 127, Sends::AsShown,    "0",                 "",   66},
  {"TextEnv2L2",        "knobEnvFilt3",        97,   0, 127, Sends::AsShown,    "127",               "",   67},
  {"TextEnv2T3",        "knobEnvFilt4",       100,   0, 127, Sends::AsShown,    "0",                 "",   68},
};
// clang-format on

// The selectors' items in list order, with the number each sends.
inline const std::vector<SheetItem>& sheetItems(Sends sends) {
  static const std::vector<SheetItem> octaves{{"1/2\"", 112}, {"1\"", 100}, {"2\"", 88},  {"4\"", 76},  {"8\"", 64},
                                              {"16\"", 52},   {"32\"", 40}, {"64\"", 28}, {"128\"", 16}};
  static const std::vector<SheetItem> shapes{{"OSC off", 0}, {"Pulse", 1},      {"Saw", 2},       {"Triangle", 3},
                                             {"Sine", 4},    {"Alt1 Waves", 5}, {"Alt2 Waves", 6}};
  static const std::vector<SheetItem> shapes5(shapes.begin(), shapes.begin() + 5);
  static const std::vector<SheetItem> filters{
      {"---- Bypass", 0},        {"\\_ Lowpass 24 dB", 1}, {"\\_ Lowpass 12 dB", 2}, {"/\\ Bandpass 24 dB", 3},
      {"/\\ Bandpass 12 dB", 4}, {"_/ Highpass 24 dB", 5}, {"_/ Highpass 12 dB", 6}, {"\\/  Notch 24 dB", 7},
      {"\\/  Notch 12 dB", 8},   {"||||| Comb (+)", 9},     {"||||| Comb (-)", 10}};
  static const std::vector<SheetItem> none;
  switch (sends) {
    case Sends::Octave: return octaves;
    case Sends::Shape: return shapes;
    case Sends::Shape5: return shapes5;
    case Sends::FilterType: return filters;
    default: return none;
  }
}

inline bool isSelector(const SheetRow& r) { return !sheetItems(r.sends).empty(); }
// The oscillator volumes: a slider with a mute box, both stored as integers.
inline bool hasMuteBox(const SheetRow& r) { return *r.initMute != '\0'; }
inline bool hasKnob(const SheetRow& r) { return std::string_view(r.companion).starts_with("knob"); }

// The row of a value control; a mute box answers with its oscillator's volume row.
inline const SheetRow* sheetRow(std::string_view control) {
  for (const SheetRow& r : kSheet)
    if (r.control == control || (hasMuteBox(r) && r.companion == control)) return &r;
  return nullptr;
}
inline bool isMuteBox(std::string_view control) {
  const SheetRow* r = sheetRow(control);
  return r && r->companion == control && hasMuteBox(*r);
}

// Every value control, in the order the init sound writes them: a mute box after its slider.
inline std::vector<std::string> sheetControls() {
  std::vector<std::string> out;
  for (const SheetRow& r : kSheet) {
    out.push_back(r.control);
    if (hasMuteBox(r)) out.push_back(r.companion);
  }
  return out;
}

// The data byte a value control's content sends by the sheet; -1 when it is no value to send.
inline int sheetByte(const SheetRow& r, std::string_view text) {
  if (isSelector(r)) {
    for (const SheetItem& item : sheetItems(r.sends))
      if (item.text == text) return item.value;
    return -1;
  }
  std::size_t used = 0;
  int n = 0;
  try {
    n = std::stoi(std::string(text), &used);
  } catch (...) {
    return -1;
  }
  if (used != text.size() || n < r.low || n > r.high) return -1;
  return r.sends == Sends::Plus64 ? n + 64 : n;
}

}  // namespace rotavox::test
