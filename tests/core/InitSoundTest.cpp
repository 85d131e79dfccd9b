#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/editor/InitSound.h"
#include "core/editor/ParameterTable.h"

namespace rotavox {
namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

template <typename List>
Writes named(const List& writes) {
  Writes out;
  for (const ControlWrite& w : writes) out.push_back({std::string(controlName(w.control)), std::string(w.value)});
  return out;
}

// The instrument's init sound as its 51 writes, typed from the instrument's init values: the
// table's init column and its row order must give exactly these, in this order.
const Writes kInitWrites = {
    {"TextVolume", "110"},
    {"ComboOSC1shape", "Pulse"},   {"ComboOSC1oct", "8\""},     {"TextOSC1semi", "0"},   {"TextOSC1detune", "0"},
    {"TextOSC1pw", "127"},         {"TextOSC1pwm", "64"},       {"VScrollOSC1vol", "127"}, {"CheckOSC1mute", "0"},
    {"TextOSC1fbalance", "-64"},
    {"ComboOSC2shape", "OSC off"}, {"ComboOSC2oct", "8\""},     {"TextOSC2semi", "0"},   {"TextOSC2detune", "0"},
    {"TextOSC2pw", "127"},         {"TextOSC2pwm", "92"},       {"VScrollOSC2vol", "0"},  {"CheckOSC2mute", "1"},
    {"TextOSC2fbalance", "-64"},
    {"ComboOSC3shape", "OSC off"}, {"ComboOSC3oct", "8\""},     {"TextOSC3semi", "0"},   {"TextOSC3detune", "0"},
    {"TextOSC3pw", "127"},         {"TextOSC3pwm", "64"},       {"VScrollOSC3vol", "0"},  {"CheckOSC3mute", "1"},
    {"TextOSC3fbalance", "-64"},
    {"ComboFilter1", "\\_ Lowpass 24 dB"}, {"ComboFilter2", "---- Bypass"},
    {"TextF1_cutoff", "127"}, {"TextF1_reso", "0"}, {"TextF1_drive", "0"}, {"TextF1_keytrack", "64"},
    {"TextF1_envamt", "64"},  {"TextF1_envvol", "64"},
    {"TextF2_cutoff", "127"}, {"TextF2_reso", "0"}, {"TextF2_drive", "0"}, {"TextF2_keytrack", "64"},
    {"TextF2_envamt", "64"},  {"TextF2_envvel", "64"},
    {"TextFilterParSer", "0"},
    {"TextEnv1T1", "0"}, {"TextEnv1T2", "0"}, {"TextEnv1L2", "127"}, {"TextEnv1T3", "0"},
    {"TextEnv2T1", "0"}, {"TextEnv2T2", "0"}, {"TextEnv2L2", "127"}, {"TextEnv2T3", "0"},
};

TEST(InitSound, WritesTheInstrumentsInitValuesInTheirOrder) { EXPECT_EQ(named(kInitSound), kInitWrites); }

TEST(InitSound, EveryWriteIsAValueItsControlTakes) {
  for (const ControlWrite& w : kInitSound) {
    SCOPED_TRACE(std::string(controlName(w.control)) + " <- " + std::string(w.value));
    if (w.control.muteBox)
      EXPECT_TRUE(w.value == "0" || w.value == "1");
    else
      EXPECT_EQ(readField(parameter(w.control.row), w.value).state, FieldState::Valid);
  }
}

// Typed from the reset buttons' description: the type first, then the six fields in order.
TEST(InitSound, ResetsWriteTheTypeThenTheSixFieldsOfTheirOwnFilter) {
  const Writes filter1 = {{"ComboFilter1", "\\_ Lowpass 24 dB"}, {"TextF1_cutoff", "127"}, {"TextF1_reso", "0"},
                          {"TextF1_drive", "0"},  {"TextF1_keytrack", "64"}, {"TextF1_envamt", "64"},
                          {"TextF1_envvol", "64"}};
  const Writes filter2 = {{"ComboFilter2", "---- Bypass"}, {"TextF2_cutoff", "127"}, {"TextF2_reso", "0"},
                          {"TextF2_drive", "0"},  {"TextF2_keytrack", "64"}, {"TextF2_envamt", "64"},
                          {"TextF2_envvel", "64"}};
  EXPECT_EQ(named(kFilter1Reset), filter1);
  EXPECT_EQ(named(kFilter2Reset), filter2);
}

TEST(InitSound, AsksOnlyOnceTheVolumeFieldHoldsAValue) {
  EXPECT_FALSE(initNeedsConfirmation("?"));
  EXPECT_TRUE(initNeedsConfirmation("110"));
  EXPECT_TRUE(initNeedsConfirmation(""));
  EXPECT_TRUE(initNeedsConfirmation("? "));
}

}  // namespace
}  // namespace rotavox
