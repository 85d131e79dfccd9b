#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rotavox {

// One of the instrument's stored sounds: bank A, B or C (0..2; -1 while the bank is not known)
// and sound 1..100 of the bank. It is chosen by Bank Select LSB (Control Change 32) with the
// bank, then Program Change with the number - 1.
struct InstrumentProgram {
  static constexpr int kBanks = 3;
  static constexpr int kSoundsPerBank = 100;
  static constexpr int kUnknownBank = -1;
  static constexpr int kBankSelectController = 32;

  int bank = 0;
  int number = 1;

  bool operator==(const InstrumentProgram&) const = default;
};

// The program `steps` sounds on, across banks (A100 -> B1, C100 -> A1 and back): every sound
// of the instrument lies on one ring. A program of an unknown bank steps within bank A.
InstrumentProgram steppedProgram(InstrumentProgram program, int steps);

// "A001", "C100"; "?042" while the bank is not known.
std::string programText(const InstrumentProgram& program);
inline std::string bankText(int bank) { return bank >= 0 && bank < InstrumentProgram::kBanks ? std::string(1, char('A' + bank)) : "?"; }

// The main window's title while the instrument plays a program chosen from here or on the
// instrument: "Rotavox v0.2.0 [A001]".
std::string programTitle(std::string_view title, const std::optional<InstrumentProgram>& program);

// A typed sound number: a whole number 1..100, blanks around it aside; none otherwise.
std::optional<int> programNumber(std::string_view text);

}  // namespace rotavox
