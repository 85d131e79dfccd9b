#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/common/Readings.h"
#include "core/editor/InitSound.h"
#include "core/editor/Mutation.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {
namespace {

// Hands out the numbers it is given, in order; runs dry loudly.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::vector<std::uint32_t> draws) : draws_(draws.begin(), draws.end()) {}
  std::uint32_t next() override {
    if (draws_.empty()) {
      ADD_FAILURE() << "more draws than scripted";
      return 0;
    }
    const std::uint32_t d = draws_.front();
    draws_.pop_front();
    return d;
  }
  std::size_t left() const { return draws_.size(); }

 private:
  std::deque<std::uint32_t> draws_;
};

// A draw that reads as this share of one.
constexpr std::uint32_t share(double s) { return static_cast<std::uint32_t>(s * 4294967296.0); }

SoundState initSound() {
  SoundState s;
  for (std::size_t i = 0; i < kValueControlCount; ++i) s[i] = std::string(kInitSound[i].value);
  return s;
}

// One control by hand: chance, then for a number the size and the direction (odd = up), for a
// selector the pick among the other items.
TEST(Mutation, OneValueByTheRule) {
  struct Case {
    Param row;
    const char* shown;
    int amount;
    std::vector<std::uint32_t> draws;
    std::optional<std::string> result;
  };
  const Case cases[] = {
      // chance at or above the amount: stays, one draw used
      {Param::TextF1_cutoff, "64", 50, {share(0.5)}, std::nullopt},
      // 0.5 of 50% of 127 = 31.75, so 32 steps up
      {Param::TextF1_cutoff, "64", 50, {share(0.3), share(0.5), 1}, "96"},
      {Param::TextF1_cutoff, "64", 50, {share(0.3), share(0.5), 2}, "32"},
      // beyond the top the move turns round
      {Param::TextF1_cutoff, "120", 50, {share(0.3), share(0.5), 1}, "88"},
      // the smallest amount still moves by one
      {Param::TextEnv1T1, "0", 1, {share(0.0), share(0.0), 2}, "1"},
      {Param::TextEnv1T1, "0", 1, {share(0.0099), share(0.99), 1}, "1"},
      {Param::TextEnv1T1, "0", 1, {share(0.02)}, std::nullopt},
      // offset fields keep to their own range: -12..12, 0.99 of 24 is 24
      {Param::TextOSC2semi, "-12", 100, {share(0.1), share(0.99), 2}, "12"},
      {Param::TextOSC1fbalance, "-64", 10, {share(0.05), share(1.0 - 1e-9), 1}, "-51"},
      {Param::VScrollOSC1vol, "127", 20, {share(0.1), share(0.25), 1}, "121"},
      // selectors: half the chance, then another item of their own list
      {Param::ComboOSC1shape, "Saw", 100, {share(0.5)}, std::nullopt},
      {Param::ComboOSC1shape, "Saw", 100, {share(0.49), 0}, "OSC off"},
      {Param::ComboOSC1shape, "Saw", 100, {share(0.49), share(0.34)}, "Triangle"},
      {Param::ComboOSC1shape, "Saw", 100, {share(0.49), 0xFFFFFFFFu}, "Alt2 Waves"},
      {Param::ComboOSC3shape, "Sine", 100, {share(0.1), 0xFFFFFFFFu}, "Triangle"},
      {Param::ComboOSC2oct, "8\"", 60, {share(0.2), share(0.5)}, "16\""},
      {Param::ComboFilter2, "---- Bypass", 100, {share(0.0), 0}, "\\_ Lowpass 24 dB"},
      // the routing flips with a quarter of the chance
      {Param::TextFilterParSer, "0", 100, {share(0.24)}, "1"},
      {Param::TextFilterParSer, "1", 100, {share(0.24)}, "0"},
      {Param::TextFilterParSer, "0", 100, {share(0.25)}, std::nullopt},
      // no value to start from
      {Param::TextF1_cutoff, "?", 100, {0}, std::nullopt},
      {Param::ComboOSC1shape, "Square", 100, {0}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(parameter(c.row).control) + " " + c.shown + " at " + std::to_string(c.amount) + "%");
    ScriptedRandom random(c.draws);
    EXPECT_EQ(mutateValue(parameter(c.row), c.shown, c.amount, random), c.result);
    EXPECT_EQ(random.left(), 0u) << "every scripted draw is used";
  }
}

TEST(Mutation, NeedsAValueInEveryControl) {
  EXPECT_TRUE(canMutate(initSound()));
  const std::pair<const char*, const char*> spoilers[] = {
      {"TextF1_cutoff", "?"}, {"TextVolume", "?"}, {"ComboOSC1oct", "?"}, {"ComboFilter1", "Lowpass"},
      {"TextOSC1semi", "13"}, {"TextEnv2T1", "abc"}, {"CheckOSC2mute", "2"},
  };
  for (const auto& [name, value] : spoilers) {
    SoundState s = initSound();
    for (std::size_t i = 0; i < kValueControlCount; ++i)
      if (controlName(kValueControls[i]) == name) s[i] = value;
    EXPECT_FALSE(canMutate(s)) << name << " = " << value;
  }
}

// Over many seeds and amounts: the result is always a sound the panel can send, the mutes,
// the main volume and a muted oscillator's volume never move, oscillator 3 keeps to its five
// shapes, and how much changes follows the amount.
TEST(Mutation, WholeSoundKeepsTheEarsAndTheRangesSafe) {
  // Oscillators 1 and 2 muted, 3 playing.
  SoundState start = initSound();
  start[valueIndex(muteBoxOf(Param::VScrollOSC1vol))] = "1";
  start[valueIndex(muteBoxOf(Param::VScrollOSC3vol))] = "0";
  std::size_t numbers = 0;
  for (const ValueControl& c : kValueControls)
    numbers += takesMutation(c) && readField(parameter(c.row), "1").state == FieldState::Valid &&
               parameter(c.row).sent != SentRule::ByItem && parameter(c.row).kind != ParamKind::Routing;
  for (int amount : {1, 10, 50, 100}) {
    std::size_t changed = 0, runs = 0;
    for (std::uint64_t seed = 0; seed < 300; ++seed) {
      SeededRandom random(seed * 7919 + static_cast<std::uint64_t>(amount));
      const SoundState out = mutateSound(start, amount, random);
      ++runs;
      ASSERT_TRUE(canMutate(out));
      for (std::size_t i = 0; i < kValueControlCount; ++i) {
        const ValueControl c = kValueControls[i];
        const std::string_view name = controlName(c);
        if (c.muteBox || name == "TextVolume" || name == "VScrollOSC1vol" || name == "VScrollOSC2vol") {
          ASSERT_EQ(out[i], start[i]) << name << " moved at " << amount << "%";
        }
        if (name == "ComboOSC3shape") {
          ASSERT_TRUE(itemPosition(ItemList::Shape5, out[i])) << out[i];
        }
        changed += out[i] != start[i];
      }
    }
    const double perRun = static_cast<double>(changed) / static_cast<double>(runs);
    SCOPED_TRACE(std::to_string(amount) + "%: " + std::to_string(perRun) + " changes a run");
    if (amount == 100) {
      EXPECT_GE(perRun, static_cast<double>(numbers) - 2.0) << "every number moves (two volumes are muted)";
    } else {
      // the numbers at the amount, the 8 selectors at half of it, the routing at a quarter
      const double expected = amount / 100.0 * (static_cast<double>(numbers) - 2.0 + 8 * 0.5 + 0.25);
      EXPECT_NEAR(perRun, expected, expected * 0.25 + 0.1);
    }
  }
}

TEST(Mutation, SeededRandomRepeatsItsNumbers) {
  // splitmix64's published first output for seed 0 is 0xE220A8397B1DCDAF.
  SeededRandom zero(0);
  EXPECT_EQ(zero.next(), 0xE220A839u);
  SeededRandom a(42), b(42), c(43);
  std::vector<std::uint32_t> fromA, fromB, fromC;
  for (int i = 0; i < 8; ++i) {
    fromA.push_back(a.next());
    fromB.push_back(b.next());
    fromC.push_back(c.next());
  }
  EXPECT_EQ(fromA, fromB);
  EXPECT_NE(fromA, fromC);
  SeededRandom d(7), e(7);
  EXPECT_EQ(mutateSound(initSound(), 40, d), mutateSound(initSound(), 40, e));
}

}  // namespace
}  // namespace rotavox
