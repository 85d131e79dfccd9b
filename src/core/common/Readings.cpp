#include "core/common/Readings.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rotavox {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of s (sign, digits, point, digits), 0 if none.
std::size_t numberLength(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  return digits > 0 ? i : 0;
}

// `number` has passed numberLength. strtod would follow the C locale, which the window
// system sets from the user's environment: under a locale with a decimal comma it would read
// "12.5" as 12. from_chars always reads a point.
double parse(std::string_view number) {
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                            std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Too many digits for a double: beyond its range when a digit before the point is not
    // 0, a vanishing fraction otherwise.
    const std::string_view whole = number.substr(0, number.find('.'));
    const bool huge = whole.find_first_not_of('0') != std::string_view::npos;
    value = huge ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<double> strictReading(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  const std::string_view body = text.substr(begin, end - begin);
  const std::size_t length = numberLength(body);
  if (length == 0 || length != body.size()) return std::nullopt;
  return parse(body);
}

double leadingReading(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && isBlank(text[begin])) ++begin;
  const std::string_view rest = text.substr(begin);
  const std::size_t length = numberLength(rest);
  return length == 0 ? 0.0 : parse(rest.substr(0, length));
}

std::int64_t roundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  const double r = std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
  constexpr double kLimit = 9.2e18;
  if (r >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (r <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(r);
}

std::optional<std::int64_t> wholeReading(std::string_view text) {
  const auto value = strictReading(text);
  if (!value || *value != std::floor(*value) || std::fabs(*value) > 9.0e15) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

std::string numberText(std::int64_t value) { return std::to_string(value); }

std::string paddedNumberText(std::int64_t value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

}  // namespace rotavox
