#include "core/midi/InstrumentProgram.h"

#include <array>
#include <cstdio>

#include "core/common/Readings.h"

namespace rotavox {

InstrumentProgram steppedProgram(InstrumentProgram program, int steps) {
  constexpr int kAll = InstrumentProgram::kBanks * InstrumentProgram::kSoundsPerBank;
  const int bank = program.bank >= 0 && program.bank < InstrumentProgram::kBanks ? program.bank : 0;
  const int place = bank * InstrumentProgram::kSoundsPerBank + (program.number - 1);
  const int next = ((place + steps) % kAll + kAll) % kAll;
  return {next / InstrumentProgram::kSoundsPerBank, next % InstrumentProgram::kSoundsPerBank + 1};
}

std::string programText(const InstrumentProgram& program) {
  std::array<char, 8> number{};
  std::snprintf(number.data(), number.size(), "%03d", program.number);
  return bankText(program.bank) + number.data();
}

std::string programTitle(std::string_view title, const std::optional<InstrumentProgram>& program) {
  std::string out(title);
  if (program) out += " [" + programText(*program) + "]";
  return out;
}

std::optional<int> programNumber(std::string_view text) {
  const auto whole = wholeReading(text);
  if (!whole || *whole < 1 || *whole > InstrumentProgram::kSoundsPerBank) return std::nullopt;
  return static_cast<int>(*whole);
}

}  // namespace rotavox
