#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rotavox {

// How the editor reads numbers out of texts and writes them back.

// The whole text, blanks around it aside, must be a decimal number (optional sign, optional
// decimal point); otherwise there is no reading.
std::optional<double> strictReading(std::string_view text);

// The longest leading decimal number after blanks; 0 if there is none ("", "?", "ab" read 0,
// "12ab" reads 12).
double leadingReading(std::string_view text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4). Values beyond the
// 64-bit range saturate.
std::int64_t roundHalfEven(double value);

// The strict reading, if it is a whole number; "12.0" counts, "12.5" does not.
std::optional<std::int64_t> wholeReading(std::string_view text);

// Shortest decimal text of a whole number ("64", "-64").
std::string numberText(std::int64_t value);

// A number as the classic number-to-text conversion writes it: one blank in front of a
// number that is not negative (" 3", "-1").
std::string paddedNumberText(std::int64_t value);

}  // namespace rotavox
