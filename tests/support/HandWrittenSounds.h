#pragma once

#include <string>
#include <vector>

namespace rotavox::test {

// Lines 2 to 68 of two sounds, typed from the file format (not written by the program), that
// differ in every stored value.
inline const std::vector<std::string> kSoundA{
    "\"100\"", "\"Saw\"", "\"8\"", "\"-12\"", "\"5\"", "\"64\"", "\"10\"", "0", "0", "127", "0", "\"-64\"",
    "\"Pulse\"", "\"1/2\"", "\"0\"", "\"-3\"", "\"32\"", "\"0\"", "0", "0", "90", "1", "\"63\"",
    "\"Sine\"", "\"128\"", "\"12\"", "\"0\"", "\"127\"", "\"1\"", "0", "0", "44", "0", "\"0\"",
    "0", "64", "64", "64", "0", "0", "0", "0", "64", "0",
    "\"\\_ Lowpass 24 dB\"", "\"70\"", "\"20\"", "\"0\"", "\"64\"", "\"90\"", "\"30\"",
    "\"||||| Comb (-)\"", "\"127\"", "\"0\"", "\"1\"", "\"2\"", "\"3\"", "\"4\"", "\"1\"",
    "\"0\"", "\"40\"", "\"100\"", "\"20\"", "\"5\"", "\"60\"", "\"80\"", "\"15\""};
inline const std::vector<std::string> kSoundB{
    "\"50\"", "\"Pulse\"", "\"16\"", "\"7\"", "\"-5\"", "\"12\"", "\"99\"", "0", "0", "20", "1", "\"10\"",
    "\"Triangle\"", "\"4\"", "\"-1\"", "\"2\"", "\"100\"", "\"5\"", "0", "0", "30", "0", "\"-20\"",
    "\"Saw\"", "\"2\"", "\"-7\"", "\"9\"", "\"3\"", "\"77\"", "0", "0", "100", "1", "\"-1\"",
    "0", "64", "64", "64", "0", "0", "0", "0", "64", "0",
    "\"/\\ Bandpass 12 dB\"", "\"10\"", "\"99\"", "\"45\"", "\"1\"", "\"2\"", "\"3\"",
    "\"---- Bypass\"", "\"5\"", "\"6\"", "\"7\"", "\"8\"", "\"9\"", "\"11\"", "\"0\"",
    "\"9\"", "\"8\"", "\"7\"", "\"6\"", "\"4\"", "\"3\"", "\"2\"", "\"1\""};

// The file's bytes: the header line, then the given lines, each ended by CR LF.
inline std::string soundFile(const std::vector<std::string>& lines) {
  std::string out = "\"Rotavox soundfileformat v.0.2\"\r\n";
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace rotavox::test
