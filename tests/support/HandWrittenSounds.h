#pragma once

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ParameterSheet.h"

#ifndef ROTAVOX_TEST_DATA_DIR
#error "the hand-written sound is read from the test data folder"
#endif

namespace rotavox::test {

// The values of a sound file, line 2 (the one after the header) first, without line ends.
using SoundLines = std::vector<std::string>;
// A sound as the panel shows it: every value control's content by object name (a number
// field's or selector's text, a slider's position, a mute box's "0" or "1").
using Sound = std::map<std::string, std::string>;

// The one hand-written sound: the file typed from the format (tests/data/sound-files/valid.rvs),
// less its header. Every other sound of the tests is made from it.
inline SoundLines handWrittenLines() {
  std::ifstream in(ROTAVOX_TEST_DATA_DIR "/sound-files/valid.rvs", std::ios::binary);
  SoundLines lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

// The file's bytes: the header line, then the given lines, each ended by CR LF.
inline std::string soundFile(const SoundLines& lines) {
  std::string out = "\"Rotavox soundfileformat v.0.2\"\r\n";
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

// The sound file line of a value control, from 1 (the header's).
inline int lineOf(std::string_view control) {
  const SheetRow& r = *sheetRow(control);
  return isMuteBox(control) ? r.line + 1 : r.line;
}
inline std::size_t at(std::string_view control) { return static_cast<std::size_t>(lineOf(control) - 2); }

// Every value control in the order of its file line.
inline std::vector<std::string> fileOrder() {
  std::vector<std::string> out = sheetControls();
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return lineOf(a) < lineOf(b); });
  return out;
}

// What the controls show once the lines are loaded: texts without their quotes, an octave
// with its foot mark again, positions and states as they stand.
inline Sound soundOf(const SoundLines& lines) {
  Sound out;
  for (const std::string& control : sheetControls()) {
    std::string field = lines.at(at(control));
    if (!hasMuteBox(*sheetRow(control))) {
      if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
      if (sheetRow(control)->sends == Sends::Octave) field += '"';
    }
    out[control] = field;
  }
  return out;
}

// The lines of `base` with every value control's line written from `sound`.
inline SoundLines linesOf(const Sound& sound, SoundLines base) {
  for (const auto& [control, shown] : sound) {
    std::string& line = base.at(at(control));
    if (hasMuteBox(*sheetRow(control)))
      line = shown;
    else if (sheetRow(control)->sends == Sends::Octave)
      line = "\"" + (shown.empty() ? shown : shown.substr(0, shown.size() - 1)) + "\"";
    else
      line = "\"" + shown + "\"";
  }
  return base;
}

// A sound that differs from `sound` in every value: numbers half their range further round,
// selectors the next item, mutes and the routing the other way.
inline Sound anotherSound(const Sound& sound) {
  Sound out;
  for (const auto& [control, shown] : sound) {
    const SheetRow& r = *sheetRow(control);
    if (isMuteBox(control)) {
      out[control] = shown == "0" ? "1" : "0";
    } else if (isSelector(r)) {
      const std::vector<SheetItem>& items = sheetItems(r.sends);
      std::size_t i = 0;
      while (i < items.size() && items[i].text != shown) ++i;
      out[control] = items[(i + 1) % items.size()].text;
    } else {
      const int span = r.high - r.low + 1;
      out[control] = std::to_string(r.low + (std::stoi(shown) - r.low + span / 2) % span);
    }
  }
  return out;
}

// The panel right after start: "?" in every field and selector, sliders at 0, no box ticked.
inline Sound startSound() {
  Sound out;
  for (const std::string& control : sheetControls()) out[control] = hasMuteBox(*sheetRow(control)) ? "0" : "?";
  return out;
}

// The init sound, by the sheet.
inline Sound initSound() {
  Sound out;
  for (const SheetRow& r : kSheet) {
    out[r.control] = r.init;
    if (hasMuteBox(r)) out[r.companion] = r.initMute;
  }
  return out;
}

// The two sounds most tests load: the hand-written one, and one made from it that differs in
// every stored value.
inline const SoundLines kSoundA = handWrittenLines();
inline const SoundLines kSoundB = linesOf(anotherSound(soundOf(kSoundA)), kSoundA);

}  // namespace rotavox::test
