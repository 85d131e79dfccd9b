#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "core/common/Readings.h"

namespace rotavox {
namespace {

struct ReadingCase {
  const char* text;
  std::optional<double> strict;
  double leading;
};

// The strict reading takes a number as a whole, blanks around it aside; the leading reading
// takes the longest leading number after blanks, 0 when there is none.
const ReadingCase kReadings[] = {
    {"", std::nullopt, 0},          {"?", std::nullopt, 0},        {"ab", std::nullopt, 0},
    {"0", 0, 0},                    {"64", 64, 64},                {"-64", -64, -64},
    {"+7", 7, 7},                   {"  12  ", 12, 12},            {"\t5", 5, 5},
    {"12ab", std::nullopt, 12},     {"12x", std::nullopt, 12},     {"12.5", 12.5, 12.5},
    {".5", 0.5, 0.5},               {"5.", 5, 5},                  {"-.5", -0.5, -0.5},
    {"-", std::nullopt, 0},         {"+", std::nullopt, 0},        {".", std::nullopt, 0},
    {"- 5", std::nullopt, 0},       {"1 2", std::nullopt, 1},      {"1.2.3", std::nullopt, 1.2},
    {"1e3", std::nullopt, 1},       {"--5", std::nullopt, 0},      {"300", 300, 300},
    {"0x10", std::nullopt, 0},      {"-0", -0.0, -0.0},            {"007", 7, 7},
    {"127.4", 127.4, 127.4},        {"?12", std::nullopt, 0},      {"12?", std::nullopt, 12},
};

TEST(Readings, StrictAndLeadingReadingsOfTexts) {
  for (const ReadingCase& c : kReadings) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(strictReading(c.text), c.strict);
    EXPECT_DOUBLE_EQ(leadingReading(c.text), c.leading);
  }
}

TEST(Readings, DigitsBeyondADoubleReadAsInfinityOrZero) {
  const std::string huge(400, '9');
  EXPECT_EQ(leadingReading(huge), std::numeric_limits<double>::infinity());
  EXPECT_EQ(leadingReading("-" + huge), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(leadingReading("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_FALSE(wholeReading(huge).has_value());
}

// The window system sets the C locale from the user's environment; a decimal comma there must
// not change how "12.5" reads.
TEST(Readings, DoNotFollowTheLocalesDecimalComma) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) {
      switched = true;
      break;
    }
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(strictReading("12.5"), 12.5);
  EXPECT_EQ(leadingReading("12.5x"), 12.5);
  EXPECT_FALSE(wholeReading("12.5").has_value());
  std::setlocale(LC_NUMERIC, before.c_str());
}

TEST(Readings, RoundingGoesToTheNearestAndHalvesToTheEvenNeighbour) {
  const std::pair<double, std::int64_t> cases[] = {
      {2.5, 2},   {3.5, 4},    {0.5, 0},   {1.5, 2},   {-0.5, 0},  {-1.5, -2}, {-2.5, -2},
      {5.5, 6},   {4.5, 4},    {127.5, 128}, {2.4999, 2}, {2.5001, 3}, {-7.2, -7}, {0.0, 0},
      {std::nan(""), 0},       {1e300, std::numeric_limits<std::int64_t>::max()},
      {-1e300, std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [value, whole] : cases) EXPECT_EQ(roundHalfEven(value), whole) << value;
}

TEST(Readings, WholeReadingTakesOnlyWholeNumbers) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"12", 12}, {"12.0", 12}, {" -64 ", -64}, {"+3", 3},          {"12.5", std::nullopt},
      {"", std::nullopt},       {"?", std::nullopt}, {"12x", std::nullopt}, {"-", std::nullopt},
      {"-0", 0},
  };
  for (const auto& [text, whole] : cases) EXPECT_EQ(wholeReading(text), whole) << text;
}

TEST(Readings, NumbersAreWrittenInTheirShortestText) {
  EXPECT_EQ(numberText(64), "64");
  EXPECT_EQ(numberText(-64), "-64");
  EXPECT_EQ(numberText(-5), "-5");
  EXPECT_EQ(numberText(0), "0");
  EXPECT_EQ(paddedNumberText(3), " 3");
  EXPECT_EQ(paddedNumberText(0), " 0");
  EXPECT_EQ(paddedNumberText(-1), "-1");
}

// Any text at all: no crash, the strict reading is also the leading one, and a whole reading
// reads back from its own text.
TEST(Readings, RandomTextsAreReadConsistently) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789+-. \t?xe,";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(rng() % 12);
    for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
    const auto strict = strictReading(text);
    const double leading = leadingReading(text);
    EXPECT_FALSE(std::isnan(leading)) << text;
    if (strict) {
      EXPECT_EQ(*strict, leading) << text;
    }
    if (const auto whole = wholeReading(text)) {
      EXPECT_EQ(wholeReading(numberText(*whole)), whole) << text;
    }
  }
}

}  // namespace
}  // namespace rotavox
