#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "core/editor/KnobGesture.h"

namespace rotavox {
namespace {

constexpr double kWidth = 40;  // the middle column is x = 20

struct MoveCase {
  const char* name;
  double x;
  double lastY;  // position at the press
  double y;      // position of the move
  std::optional<double> value;
  KnobBounds bounds;
  std::optional<double> expected;
  std::int16_t expectedLastY;
};

class KnobMoveTable : public ::testing::TestWithParam<MoveCase> {};

TEST_P(KnobMoveTable, StepsTheValueByAtMostOne) {
  const MoveCase& c = GetParam();
  KnobDrag drag;
  std::int16_t lastY = 0;
  knobPress(drag, lastY, c.lastY);
  EXPECT_EQ(drag.KnobDragging, -1);
  EXPECT_EQ(knobMove(drag, lastY, kWidth, c.x, c.y, c.bounds, c.value), c.expected);
  EXPECT_EQ(lastY, c.expectedLastY);
}

const KnobBounds k127{0, 127};
const KnobBounds k100{0, 100};

INSTANTIATE_TEST_SUITE_P(
    Gesture, KnobMoveTable,
    ::testing::Values(
        MoveCase{"UpOnLeftRaises", 5, 20, 19, 64, k127, 65, 19},
        MoveCase{"DownOnLeftLowers", 5, 20, 21, 64, k127, 63, 21},
        MoveCase{"DownOnRightRaises", 35, 20, 21, 64, k127, 65, 21},
        MoveCase{"UpOnRightLowers", 35, 20, 19, 64, k127, 63, 19},
        MoveCase{"FarMoveIsStillOneStep", 5, 20, -300, 64, k127, 65, -300},
        MoveCase{"MiddleColumnCountsLeft", 20, 20, 19, 64, k127, 65, 19},
        MoveCase{"JustRightOfMiddle", 20.5, 20, 19, 64, k127, 63, 19},
        MoveCase{"LeftOfPictureIsLeft", -50, 20, 19, 64, k127, 65, 19},
        MoveCase{"RightOfPictureIsRight", 400, 20, 21, 64, k127, 65, 21},
        MoveCase{"EqualYDoesNothing", 5, 20, 20, 64, k127, std::nullopt, 20},
        MoveCase{"UpperBoundHolds", 5, 20, 19, 127, k127, std::nullopt, 19},
        MoveCase{"UpperBoundHoldsRight", 35, 20, 21, 127, k127, std::nullopt, 21},
        MoveCase{"LowerFromUpperBound", 35, 20, 19, 127, k127, 126, 19},
        MoveCase{"LowerBoundHolds", 5, 20, 21, 0, k127, std::nullopt, 21},
        MoveCase{"RaiseFromLowerBound", 5, 20, 19, 0, k127, 1, 19},
        MoveCase{"AboveRangeIsLoweredOnly", 5, 20, 21, 200, k127, 199, 21},
        MoveCase{"AboveRangeNeverRaised", 5, 20, 19, 200, k127, std::nullopt, 19},
        MoveCase{"BelowRangeIsRaisedOnly", 5, 20, 19, -5, k127, -4, 19},
        MoveCase{"BelowRangeNeverLowered", 35, 20, 19, -5, k127, std::nullopt, 19},
        MoveCase{"SpeedKnobStopsAt100", 5, 20, 19, 100, k100, std::nullopt, 19},
        MoveCase{"SpeedKnobBelow100", 5, 20, 19, 99, k100, 100, 19},
        MoveCase{"FractionIsKept", 5, 20, 19, 64.5, k127, 65.5, 19},
        MoveCase{"NoNumberNoStep", 5, 20, 19, std::nullopt, k127, std::nullopt, 19},
        // Positions are taken to the nearest whole number, halves to the even neighbour.
        MoveCase{"HalfDownRoundsToEven", 5, 20, 20.5, 64, k127, std::nullopt, 20},
        MoveCase{"HalfUpRoundsToEven", 5, 20, 21.5, 64, k127, 63, 22},
        MoveCase{"PressHalfRoundsToEven", 5, 19.5, 19, 64, k127, 65, 19},
        // Far outside the window the remembered position is held at the 16-bit limits.
        MoveCase{"HugeDownIsClamped", 35, 20, 1e6, 64, k127, 65, 32767},
        MoveCase{"HugeUpIsClamped", 35, 20, -1e6, 64, k127, 63, -32768}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KnobGesture, MovesWithoutDragChangeNothing) {
  KnobDrag drag;
  std::int16_t lastY = 7;
  EXPECT_EQ(knobMove(drag, lastY, kWidth, 5, 0, k127, 64), std::nullopt);
  EXPECT_EQ(lastY, 7);
  knobPress(drag, lastY, 10);
  knobRelease(drag);
  EXPECT_EQ(drag.KnobDragging, 0);
  EXPECT_EQ(knobMove(drag, lastY, kWidth, 5, 0, k127, 64), std::nullopt);
  EXPECT_EQ(lastY, 10);
}

TEST(KnobGesture, BeyondTheLimitFurtherMotionDoesNotStep) {
  KnobDrag drag;
  std::int16_t lastY = 0;
  knobPress(drag, lastY, 40000);
  EXPECT_EQ(lastY, 32767);
  EXPECT_EQ(knobMove(drag, lastY, kWidth, 35, 50000, k127, 64), std::nullopt);
  EXPECT_EQ(knobMove(drag, lastY, kWidth, 35, 32766, k127, 64), 63);
}

// A drag: the value follows the pointer and reverses at once after a bound.
TEST(KnobGesture, DragReversesRightAfterTheBound) {
  KnobDrag drag;
  std::int16_t lastY = 0;
  double value = 125;
  knobPress(drag, lastY, 30);
  std::vector<double> seen;
  for (double y : {29.0, 28.0, 27.0, 26.0, 27.0, 27.0, 28.0}) {
    if (auto v = knobMove(drag, lastY, kWidth, 10, y, k127, value)) value = *v;
    seen.push_back(value);
  }
  EXPECT_EQ(seen, (std::vector<double>{126, 127, 127, 127, 126, 126, 125}));
}

// The shared flag: a press on one window's knob lets another window's knob step, but each
// window keeps its own position.
TEST(KnobGesture, WindowsKeepTheirOwnLastY) {
  KnobDrag drag;
  std::int16_t mainLastY = 0;
  std::int16_t dialogLastY = 33;
  knobPress(drag, mainLastY, 10);
  EXPECT_EQ(knobMove(drag, mainLastY, kWidth, 5, 4, k127, 64), 65);
  EXPECT_EQ(mainLastY, 4);
  EXPECT_EQ(dialogLastY, 33);
}

struct NudgeCase {
  std::optional<double> value;
  int direction;
  KnobBounds bounds;
  std::optional<double> expected;
};

TEST(KnobGesture, NudgeTable) {
  const std::vector<NudgeCase> cases = {
      {64, 1, k127, 65},   {64, -1, k127, 63},          {127, 1, k127, std::nullopt},
      {0, -1, k127, std::nullopt}, {130, -1, k127, 129}, {130, 1, k127, std::nullopt},
      {-3, 1, k127, -2},   {-3, -1, k127, std::nullopt}, {100, 1, k100, std::nullopt},
      {std::nullopt, 1, k127, std::nullopt}, {64, 0, k127, std::nullopt},
  };
  for (const NudgeCase& c : cases)
    EXPECT_EQ(knobNudge(c.value, c.direction, c.bounds), c.expected)
        << "value " << c.value.value_or(-999) << " direction " << c.direction;
}

// A value set at once (by a screen reader) lands on a whole number within the bounds.
TEST(KnobGesture, TargetTable) {
  const std::vector<std::tuple<double, KnobBounds, std::optional<double>>> cases = {
      {70, k127, 70},    {70.5, k127, 70},  {71.5, k127, 72},          {70.6, k127, 71},
      {200, k127, 127},  {-5, k127, 0},     {127.4, k127, 127},        {101, k100, 100},
      {-0.4, k127, 0},   {std::nan(""), k127, std::nullopt},
  };
  for (const auto& [requested, bounds, expected] : cases)
    EXPECT_EQ(knobTarget(requested, bounds), expected) << requested << " within " << bounds.upper;
}

TEST(KnobGesture, ValueTextIsShortest) {
  EXPECT_EQ(knobValueText(64), "64");
  EXPECT_EQ(knobValueText(-1), "-1");
  EXPECT_EQ(knobValueText(0), "0");
  EXPECT_EQ(knobValueText(-0.0), "0");
  EXPECT_EQ(knobValueText(65.5), "65.5");
  EXPECT_EQ(knobValueText(128), "128");
}

}  // namespace
}  // namespace rotavox
