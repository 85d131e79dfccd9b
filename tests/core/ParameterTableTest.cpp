#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <string>

#include "core/editor/ParameterTable.h"
#include "core/editor/SelectorItems.h"
#include "../support/ParameterSheet.h"

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

// Every parameter of the sheet, and no other, with its controller, companion, range and items,
// in the order the init sound writes them: a row whose name, number or range drifted from the
// instrument's table fails here (the init values are checked with the init sound).
TEST(ParameterTable, EveryRowIsTheSheetsParameter) {
  ASSERT_EQ(kParameterCount, test::kSheet.size());
  for (std::size_t i = 0; i < kParameterCount; ++i) {
    const Parameter& p = kParameters[i];
    const test::SheetRow& s = test::kSheet[i];
    SCOPED_TRACE(s.control);
    EXPECT_EQ(p.control, s.control);
    EXPECT_EQ(p.companion, s.companion);
    EXPECT_EQ(p.cc, s.cc);
    EXPECT_EQ(parameterOfController(s.cc), p.id);
    EXPECT_EQ(p.low, s.low);
    EXPECT_EQ(p.high, s.high);
    EXPECT_EQ(hasKnob(p), test::hasKnob(s));
    EXPECT_EQ(p.sent == SentRule::Offset, s.sends == test::Sends::Plus64);
    if (test::isSelector(s)) {
      ASSERT_EQ(selectorItems(p.items).size(), test::sheetItems(s.sends).size());
      for (std::size_t k = 0; k < selectorItems(p.items).size(); ++k) {
        EXPECT_EQ(selectorItems(p.items)[k].text, test::sheetItems(s.sends)[k].text);
        EXPECT_EQ(selectorItems(p.items)[k].value, test::sheetItems(s.sends)[k].value);
      }
    }
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
