#pragma once

#include <string>
#include <vector>

#include "TestSupport.h"
#include "support/HandWrittenSounds.h"

namespace rotavox::test {

// What the panel sends when the program writes `target` into its value controls one after
// another in `order`, starting from what `shown` holds (and keeping it up to date). A control
// that shows the value already sends nothing; any other sends its byte by the sheet once, and
// nothing for a text that is no value. The oscillator volumes are the exception: a slider that
// moves sends its position and unticks its box, which sends the position once more when it was
// ticked; a box sends 0 when it is ticked and its slider's position when it is unticked.
inline std::vector<Msg> sendsOfWrites(Sound& shown, const Sound& target, const std::vector<std::string>& order) {
  std::vector<Msg> out;
  for (const std::string& control : order) {
    const auto to = target.find(control);
    if (to == target.end() || shown.at(control) == to->second) continue;
    shown[control] = to->second;
    const SheetRow& r = *sheetRow(control);
    if (isMuteBox(control)) {
      out.push_back(cc(r.cc, to->second == "1" ? 0 : std::stoi(shown.at(r.control))));
    } else if (hasMuteBox(r)) {
      out.push_back(cc(r.cc, std::stoi(to->second)));
      if (shown.at(r.companion) == "1") {
        shown[r.companion] = "0";
        out.push_back(cc(r.cc, std::stoi(to->second)));
      }
    } else if (const int byte = sheetByte(r, to->second); byte >= 0) {
      out.push_back(cc(r.cc, byte));
    }
  }
  return out;
}

}  // namespace rotavox::test
