#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/editor/InitSound.h"
#include "core/editor/ParameterTable.h"
#include "../support/ParameterSheet.h"

namespace rotavox {
namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

template <typename List>
Writes named(const List& writes) {
  Writes out;
  for (const ControlWrite& w : writes) out.push_back({std::string(controlName(w.control)), std::string(w.value)});
  return out;
}

// The instrument's init sound as the sheet has it, a mute box after its slider: the table's
// init column and its row order must give exactly these writes, in this order.
TEST(InitSound, WritesTheInstrumentsInitValuesInTheirOrder) {
  Writes expected;
  for (const test::SheetRow& r : test::kSheet) {
    expected.push_back({r.control, r.init});
    if (test::hasMuteBox(r)) expected.push_back({r.companion, r.initMute});
  }
  EXPECT_EQ(named(kInitSound), expected);
}

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
