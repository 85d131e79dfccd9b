#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <string>

#include "core/editor/ParameterTable.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {
namespace {

// Tests name the rows by their controls' names, as the descriptions do.
const Parameter* byName(std::string_view control) {
  for (const Parameter& p : kParameters)
    if (p.control == control) return &p;
  return nullptr;
}
const Parameter& param(const char* control) {
  const Parameter* p = byName(control);
  if (!p) throw std::runtime_error(std::string("no parameter ") + control);
  return *p;
}

TEST(ParameterTable, SendsExactlyTheEditorsControllers) {
  const std::set<int> expected = {7,  27, 28, 29, 31, 33, 34, 35, 36, 37, 39, 40, 41, 42, 43, 44,
                                  46, 47, 48, 52, 53, 56, 57, 58, 59, 67, 68, 69, 70, 71, 72, 73,
                                  74, 79, 80, 81, 82, 83, 84, 85, 95, 96, 97, 100, 101, 102, 103, 106};
  std::set<int> numbers;
  for (const Parameter& p : kParameters) numbers.insert(p.cc);
  EXPECT_EQ(numbers, expected);
}

// Every row's typed index, the name of its value control and its controller, typed from the
// parameter map: a row whose index, name or number drifted apart fails here.
TEST(ParameterTable, EachIndexNamesItsControlAndController) {
  struct Case {
    Param id;
    const char* control;
    int cc;
  };
  using P = Param;
  const Case cases[] = {
      {P::TextVolume, "TextVolume", 7},
      {P::ComboOSC1shape, "ComboOSC1shape", 31},     {P::ComboOSC1oct, "ComboOSC1oct", 27},
      {P::TextOSC1semi, "TextOSC1semi", 28},         {P::TextOSC1detune, "TextOSC1detune", 29},
      {P::TextOSC1pw, "TextOSC1pw", 33},             {P::TextOSC1pwm, "TextOSC1pwm", 34},
      {P::VScrollOSC1vol, "VScrollOSC1vol", 52},     {P::TextOSC1fbalance, "TextOSC1fbalance", 53},
      {P::ComboOSC2shape, "ComboOSC2shape", 39},     {P::ComboOSC2oct, "ComboOSC2oct", 35},
      {P::TextOSC2semi, "TextOSC2semi", 36},         {P::TextOSC2detune, "TextOSC2detune", 37},
      {P::TextOSC2pw, "TextOSC2pw", 40},             {P::TextOSC2pwm, "TextOSC2pwm", 41},
      {P::VScrollOSC2vol, "VScrollOSC2vol", 56},     {P::TextOSC2fbalance, "TextOSC2fbalance", 57},
      {P::ComboOSC3shape, "ComboOSC3shape", 46},     {P::ComboOSC3oct, "ComboOSC3oct", 42},
      {P::TextOSC3semi, "TextOSC3semi", 43},         {P::TextOSC3detune, "TextOSC3detune", 44},
      {P::TextOSC3pw, "TextOSC3pw", 47},             {P::TextOSC3pwm, "TextOSC3pwm", 48},
      {P::VScrollOSC3vol, "VScrollOSC3vol", 58},     {P::TextOSC3fbalance, "TextOSC3fbalance", 59},
      {P::ComboFilter1, "ComboFilter1", 68},         {P::ComboFilter2, "ComboFilter2", 79},
      {P::TextF1_cutoff, "TextF1_cutoff", 69},       {P::TextF1_reso, "TextF1_reso", 70},
      {P::TextF1_drive, "TextF1_drive", 71},         {P::TextF1_keytrack, "TextF1_keytrack", 72},
      {P::TextF1_envamt, "TextF1_envamt", 73},       {P::TextF1_envvol, "TextF1_envvol", 74},
      {P::TextF2_cutoff, "TextF2_cutoff", 80},       {P::TextF2_reso, "TextF2_reso", 81},
      {P::TextF2_drive, "TextF2_drive", 82},         {P::TextF2_keytrack, "TextF2_keytrack", 83},
      {P::TextF2_envamt, "TextF2_envamt", 84},       {P::TextF2_envvel, "TextF2_envvel", 85},
      {P::TextFilterParSer, "TextFilterParSer", 67},
      {P::TextEnv1T1, "TextEnv1T1", 101},            {P::TextEnv1T2, "TextEnv1T2", 102},
      {P::TextEnv1L2, "TextEnv1L2", 103},            {P::TextEnv1T3, "TextEnv1T3", 106},
      {P::TextEnv2T1, "TextEnv2T1", 95},             {P::TextEnv2T2, "TextEnv2T2", 96},
      {P::TextEnv2L2, "TextEnv2L2", 97},             {P::TextEnv2T3, "TextEnv2T3", 100},
  };
  ASSERT_EQ(std::size(cases), kParameterCount);
  for (const Case& c : cases) {
    EXPECT_EQ(parameter(c.id).control, c.control);
    EXPECT_EQ(parameter(c.id).cc, c.cc) << c.control;
    EXPECT_EQ(parameterOfController(c.cc), c.id) << c.control;
  }
  EXPECT_EQ(byName("TextF2_envvol"), nullptr);
  for (int cc : {-1, 0, 8, 123, 127, 128}) EXPECT_EQ(parameterOfController(cc), std::nullopt) << cc;
}

// How the monitor and the undo menu name a parameter.
TEST(ParameterTable, TitlesAndCaptionsOfParameters) {
  const std::tuple<Param, const char*, const char*> cases[] = {
      {Param::TextF1_cutoff, "Filter 1 Cutoff", "Cutoff (Filter 1)"},
      {Param::TextF2_envvel, "Filter 2 EnvVel", "EnvVel (Filter 2)"},
      {Param::ComboFilter2, "Filter 2 Type", "Type (Filter 2)"},
      {Param::VScrollOSC3vol, "OSC 3 Volume", "Volume (OSC 3)"},
      {Param::ComboOSC1oct, "OSC 1 Octave", "Octave (OSC 1)"},
      {Param::TextOSC2fbalance, "OSC 2 F1 - F2", "F1 - F2 (OSC 2)"},
      {Param::TextEnv1T1, "Envelope Amp Att", "Att (Envelope Amp)"},
      {Param::TextEnv2L2, "Envelope Filter Sustain", "Sustain (Envelope Filter)"},
      {Param::TextFilterParSer, "Filter routing", "Filter routing"},
      {Param::TextVolume, "Main volume", "Main volume"},
  };
  for (const auto& [id, title, caption] : cases) {
    EXPECT_EQ(parameterTitle(parameter(id)), title);
    EXPECT_EQ(parameterCaption(parameter(id)), caption);
  }
}

TEST(ParameterTable, TheTwentySixKnobsAndTheirFields) {
  const std::pair<const char*, const char*> knobs[] = {
      {"knobEnvAmp1", "TextEnv1T1"},       {"knobEnvAmp2", "TextEnv1T2"},       {"knobEnvAmp3", "TextEnv1L2"},
      {"knobEnvAmp4", "TextEnv1T3"},       {"knobEnvFilt1", "TextEnv2T1"},      {"knobEnvFilt2", "TextEnv2T2"},
      {"knobEnvFilt3", "TextEnv2L2"},      {"knobEnvFilt4", "TextEnv2T3"},      {"knobF1_cutoff", "TextF1_cutoff"},
      {"knobF1_reso", "TextF1_reso"},      {"knobF1_drive", "TextF1_drive"},    {"knobF1_keytrack", "TextF1_keytrack"},
      {"knobF1_envamt", "TextF1_envamt"},  {"knobF1_envvol", "TextF1_envvol"},  {"knobF2_cutoff", "TextF2_cutoff"},
      {"knobF2_reso", "TextF2_reso"},      {"knobF2_drive", "TextF2_drive"},    {"knobF2_keytrack", "TextF2_keytrack"},
      {"knobF2_envamt", "TextF2_envamt"},  {"knobF2_envvel", "TextF2_envvel"},  {"knobOSC1pw", "TextOSC1pw"},
      {"knobOSC1pwm", "TextOSC1pwm"},      {"knobOSC2pw", "TextOSC2pw"},        {"knobOSC2pwm", "TextOSC2pwm"},
      {"knobOSC3pw", "TextOSC3pw"},        {"knobOSC3pwm", "TextOSC3pwm"},
  };
  std::set<std::string_view> fromTable;
  for (const Parameter& p : kParameters)
    if (hasKnob(p)) fromTable.insert(p.companion);
  EXPECT_EQ(fromTable.size(), 26u);
  for (const auto& [knob, field] : knobs) {
    EXPECT_TRUE(hasKnob(param(field))) << field;
    EXPECT_EQ(param(field).companion, knob);
    EXPECT_EQ(param(field).low, 0);
    EXPECT_EQ(param(field).high, 127);
  }
}

struct SentCase {
  const char* control;
  const char* text;
  FieldState state;
  int byte;
};

// What a control's content sends, for every kind of sent value.
const SentCase kSent[] = {
    // offset: the number plus 64
    {"TextOSC1semi", "-12", FieldState::Valid, 52},
    {"TextOSC1semi", "0", FieldState::Valid, 64},
    {"TextOSC1semi", "+12", FieldState::Valid, 76},
    {"TextOSC1semi", "12", FieldState::Valid, 76},
    {"TextOSC2semi", "13", FieldState::Invalid, 0},
    {"TextOSC3semi", "-13", FieldState::Invalid, 0},
    {"TextOSC1detune", "-64", FieldState::Valid, 0},
    {"TextOSC1detune", "63", FieldState::Valid, 127},
    {"TextOSC1detune", "64", FieldState::Invalid, 0},
    {"TextOSC2fbalance", "63", FieldState::Valid, 127},
    {"TextOSC2fbalance", "-65", FieldState::Invalid, 0},
    {"TextOSC3fbalance", "-30", FieldState::Valid, 34},
    {"TextOSC3fbalance", "-", FieldState::Invalid, 0},
    // as shown
    {"TextF1_cutoff", "100", FieldState::Valid, 100},
    {"TextF1_cutoff", "0", FieldState::Valid, 0},
    {"TextF1_cutoff", "127", FieldState::Valid, 127},
    {"TextF1_cutoff", "128", FieldState::Invalid, 0},
    {"TextF1_cutoff", "300", FieldState::Invalid, 0},
    {"TextF1_cutoff", "-1", FieldState::Invalid, 0},
    {"TextF1_cutoff", "12.5", FieldState::Invalid, 0},
    {"TextF1_cutoff", "12.0", FieldState::Valid, 12},
    {"TextF1_cutoff", "abc", FieldState::Invalid, 0},
    {"TextF1_cutoff", "", FieldState::NoValue, 0},
    {"TextF1_cutoff", "?", FieldState::NoValue, 0},
    {"TextOSC1pw", " 5 ", FieldState::Valid, 5},
    {"TextEnv1L2", "80", FieldState::Valid, 80},
    // by item
    {"ComboOSC1oct", "8\"", FieldState::Valid, 64},
    {"ComboOSC1oct", "1/2\"", FieldState::Valid, 112},
    {"ComboOSC1oct", "128\"", FieldState::Valid, 16},
    {"ComboOSC2oct", "1\"", FieldState::Valid, 100},
    {"ComboOSC3oct", "64\"", FieldState::Valid, 28},
    {"ComboOSC1oct", "8", FieldState::Invalid, 0},
    {"ComboOSC1oct", "8'", FieldState::Invalid, 0},
    {"ComboOSC1shape", "OSC off", FieldState::Valid, 0},
    {"ComboOSC1shape", "Saw", FieldState::Valid, 2},
    {"ComboOSC2shape", "Alt2 Waves", FieldState::Valid, 6},
    {"ComboOSC3shape", "Sine", FieldState::Valid, 4},
    {"ComboOSC3shape", "Alt1 Waves", FieldState::Invalid, 0},
    {"ComboOSC1shape", "saw", FieldState::Invalid, 0},
    {"ComboOSC1shape", "Saw ", FieldState::Invalid, 0},
    {"ComboOSC1shape", "?", FieldState::Invalid, 0},
    {"ComboFilter1", "---- Bypass", FieldState::Valid, 0},
    {"ComboFilter1", "\\_ Lowpass 24 dB", FieldState::Valid, 1},
    {"ComboFilter2", "\\/  Notch 12 dB", FieldState::Valid, 8},
    {"ComboFilter2", "\\/ Notch 12 dB", FieldState::Invalid, 0},
    {"ComboFilter1", "||||| Comb (-)", FieldState::Valid, 10},
    // by state and by position
    {"TextFilterParSer", "1", FieldState::Valid, 1},
    {"TextFilterParSer", "0", FieldState::Valid, 0},
    {"TextFilterParSer", "2", FieldState::Invalid, 0},
    {"VScrollOSC1vol", "127", FieldState::Valid, 127},
    {"TextVolume", "110", FieldState::Valid, 110},
};

TEST(ParameterTable, SentValueOfEveryKind) {
  for (const SentCase& c : kSent) {
    SCOPED_TRACE(std::string(c.control) + " <- \"" + c.text + "\"");
    const FieldReading r = readField(param(c.control), c.text);
    EXPECT_EQ(r.state, c.state);
    if (c.state == FieldState::Valid) {
      EXPECT_EQ(r.byte, c.byte);
    }
  }
}

TEST(ParameterTable, ItemListsInListOrder) {
  auto texts = [](ItemList list) {
    std::vector<std::string_view> out;
    for (const SelectorItem& i : selectorItems(list)) out.push_back(i.text);
    return out;
  };
  EXPECT_EQ(texts(ItemList::Octave), (std::vector<std::string_view>{"1/2\"", "1\"", "2\"", "4\"", "8\"", "16\"", "32\"",
                                                                    "64\"", "128\""}));
  EXPECT_EQ(texts(ItemList::Shape5), (std::vector<std::string_view>{"OSC off", "Pulse", "Saw", "Triangle", "Sine"}));
  EXPECT_EQ(texts(ItemList::Shape7).size(), 7u);
  EXPECT_EQ(texts(ItemList::Filter).size(), 11u);
  for (std::size_t k = 0; k < 9; ++k) EXPECT_EQ(selectorItems(ItemList::Octave)[k].value, 112 - 12 * int(k));
  for (std::size_t k = 0; k < 11; ++k) EXPECT_EQ(selectorItems(ItemList::Filter)[k].value, int(k));
}

TEST(ParameterTable, OscillatorVolumeIsZeroWhileMuted) {
  EXPECT_EQ(oscVolumeByte(90, false), 90);
  EXPECT_EQ(oscVolumeByte(90, true), 0);
  EXPECT_EQ(oscVolumeByte(0, false), 0);
}

TEST(ParameterTable, MainVolumeFieldRules) {
  struct Case {
    const char* text;
    bool overflows;
    int position;
  };
  const Case cases[] = {
      {"200", true, 127},  {"-200", true, 127}, {"127", false, 127}, {"-127", false, 127},
      {"127.4", true, 127}, {"-5", false, 5},   {"5.5", false, 6},   {"4.5", false, 4},
      {"", false, 0},       {"?", false, 0},    {"12ab", false, 12}, {"ab", false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mainVolumeOverflows(c.text), c.overflows) << c.text;
    if (!c.overflows) {
      EXPECT_EQ(mainVolumePosition(c.text), c.position) << c.text;
    }
  }
}

TEST(ParameterTable, RoutingReadsOneAsSerialAndAnythingElseAsParallel) {
  EXPECT_EQ(routingState("1"), 1);
  EXPECT_EQ(routingState(" 1.0"), 1);
  EXPECT_EQ(routingState("0"), std::nullopt);
  EXPECT_EQ(routingState("5"), std::nullopt);
  EXPECT_EQ(routingState("1x"), std::nullopt);
  EXPECT_EQ(routingState(""), std::nullopt);
}

// Random texts for every parameter: a valid reading always gives a data byte.
TEST(ParameterTable, RandomTextsNeverGiveABadByte) {
  std::mt19937 rng(11);
  const std::string alphabet = "0123456789+-. ?\"/xSawOCf";
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    const int length = static_cast<int>(rng() % 8);
    for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
    const Parameter& p = kParameters[rng() % kParameterCount];
    const FieldReading r = readField(p, text);
    if (r.state != FieldState::Valid) continue;
    ASSERT_GE(r.byte, 0) << p.control << " " << text;
    ASSERT_LE(r.byte, 127) << p.control << " " << text;
    ASSERT_GE(r.shown, p.low);
    ASSERT_LE(r.shown, p.high);
  }
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int i = 0; i < 6; ++i) text += alphabet[rng() % alphabet.size()];
    if (!mainVolumeOverflows(text)) {
      ASSERT_LE(mainVolumePosition(text), 127) << text;
    }
  }
}

}  // namespace
}  // namespace rotavox
