#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/midi/Pacing.h"

namespace rotavox {
namespace {

constexpr double kRate = WirePacer::kWireBytesPerSecond;

// A run of equal messages, all asked for at the same time and each sent at the earliest time
// the pacer allows; the times that the first and the last of the run get.
struct SendRun {
  double asked;
  int bytes;
  int count;
  double firstAt;
  double lastAt;
};

struct PacingCase {
  std::string name;
  std::vector<SendRun> runs;
};
void PrintTo(const PacingCase& c, std::ostream* os) { *os << c.name; }

class WirePacerRuns : public ::testing::TestWithParam<PacingCase> {};

TEST_P(WirePacerRuns, SendsAtTheExpectedTimes) {
  WirePacer pacer;
  double previous = 0.0;
  for (std::size_t r = 0; r < GetParam().runs.size(); ++r) {
    const SendRun& run = GetParam().runs[r];
    for (int i = 0; i < run.count; ++i) {
      const double at = pacer.earliest(run.asked, run.bytes);
      ASSERT_GE(at, run.asked) << "run " << r << " message " << i;
      ASSERT_GE(at, previous) << "run " << r << " message " << i;
      if (i == 0) {
        EXPECT_NEAR(at, run.firstAt, 1e-9) << "first of run " << r;
      }
      if (i == run.count - 1) {
        EXPECT_NEAR(at, run.lastAt, 1e-9) << "last of run " << r;
      }
      pacer.commit(at, run.bytes);
      previous = at;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    WirePacer, WirePacerRuns,
    ::testing::Values(
        // 341 three-byte messages are 1023 bytes: one byte of the burst is left.
        PacingCase{"BurstGoesOutAtOnce", {{0.0, 3, 341, 0.0, 0.0}, {0.0, 3, 1, 2 / kRate, 2 / kRate}}},
        PacingCase{"BurstIsExactly1024Bytes", {{5.0, 1, 1024, 5.0, 5.0}, {5.0, 1, 1, 5.0 + 1 / kRate, 5.0 + 1 / kRate}}},
        PacingCase{"SteadyRateAfterTheBurst", {{0.0, 1, 1024, 0.0, 0.0}, {0.0, 1, 3125, 1 / kRate, 1.0}}},
        PacingCase{"SteadyRateForThreeByteMessages", {{0.0, 3, 341, 0.0, 0.0}, {0.0, 3, 1000, 2 / kRate, (2 + 999 * 3) / kRate}}},
        // A long pause refills the bucket, but never beyond one burst.
        PacingCase{"IdleRefillIsCappedAtTheBurst",
                   {{0.0, 1, 1024, 0.0, 0.0}, {10.0, 1, 1024, 10.0, 10.0}, {10.0, 1, 1, 10.0 + 1 / kRate, 10.0 + 1 / kRate}}},
        // 0.1 s of pause gives back 312.5 bytes.
        PacingCase{"ShortPauseRefillsInProportion",
                   {{0.0, 1, 1024, 0.0, 0.0}, {0.1, 1, 312, 0.1, 0.1}, {0.1, 1, 1, 0.1 + 0.5 / kRate, 0.1 + 0.5 / kRate}}},
        // The Panic sweep: 2032 Note On of three bytes each.
        PacingCase{"PanicSweepTakesTheWireTime", {{0.0, 3, 2032, 0.0, (2032 * 3 - 1024) / kRate}}},
        // Asking for a time before the last send never goes back in time.
        PacingCase{"NeverEarlierThanTheLastSend", {{2.0, 3, 1, 2.0, 2.0}, {1.0, 3, 1, 2.0, 2.0}}},
        // A message bigger than what is left waits only for the missing bytes.
        PacingCase{"WaitsOnlyForTheMissingBytes", {{0.0, 1, 1000, 0.0, 0.0}, {0.0, 100, 1, 76 / kRate, 76 / kRate}}}),
    [](const ::testing::TestParamInfo<PacingCase>& info) { return info.param.name; });

TEST(WirePacer, PanicSweepEndsAfterAboutOnePointSixTwoSeconds) {
  WirePacer pacer;
  double at = 0.0;
  for (int i = 0; i < 2032; ++i) {
    at = pacer.earliest(0.0, 3);
    pacer.commit(at, 3);
  }
  EXPECT_NEAR(at, 1.623, 0.001);
}

TEST(WirePacer, ResetGivesTheWholeBurstBack) {
  WirePacer pacer;
  for (int i = 0; i < 1024; ++i) pacer.commit(pacer.earliest(0.0, 1), 1);
  EXPECT_GT(pacer.earliest(0.0, 1), 0.0);
  pacer.reset();
  EXPECT_EQ(pacer.earliest(0.0, 1024), 0.0);
  EXPECT_GT(pacer.earliest(0.0, 1025), 0.0);
}

// Sending later than allowed (the next JACK cycle) credits the waiting time: over many
// messages the rate stays the wire rate and the delays do not add up.
TEST(WirePacer, LateSendsDoNotSlowTheRateDown) {
  WirePacer pacer;
  const double frame = 1.0 / 48000.0;
  double at = 0.0;
  for (int i = 0; i < 2032; ++i) {
    const double allowed = pacer.earliest(0.0, 3);
    at = std::ceil(allowed / frame) * frame;  // the next whole frame
    pacer.commit(at, 3);
  }
  EXPECT_NEAR(at, (2032 * 3 - 1024) / kRate, frame);
}

}  // namespace
}  // namespace rotavox
