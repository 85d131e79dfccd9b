#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/Readings.h"
#include "core/files/SoundFile.h"

namespace rotavox::test {

// The value controls of a sound file as plain maps keyed by object name, for readable tests:
// every text control starts at "?", every slider and mute box at 0. Every write is logged, so
// the order of the writes shows, and a position a real control could not hold is flagged.
class MapSoundControls : public SoundControls {
 public:
  std::map<std::string, std::string, std::less<>> texts;
  std::map<std::string, int, std::less<>> positions;
  std::vector<std::string> log;      // "name=value" for every write, in order
  std::size_t longestText = 0;       // the longest text written so far
  bool positionOutOfRange = false;   // a position outside its control's range was written

  MapSoundControls() {
    for (const SoundFileLine& line : kSoundFileLines) {
      const std::string name(controlName(line.control));
      if (line.kind == SoundLineKind::Text || line.kind == SoundLineKind::Octave) texts[name] = "?";
      if (line.kind == SoundLineKind::Position) positions[name] = 0;
    }
  }
  std::string shown(ValueControl control) const override {
    const std::string_view name = controlName(control);
    if (const auto t = texts.find(name); t != texts.end()) return t->second;
    if (const auto p = positions.find(name); p != positions.end()) return std::to_string(p->second);
    return "<no control " + std::string(name) + ">";
  }
  void write(ValueControl control, std::string_view value) override {
    const std::string name(controlName(control));
    log.push_back(name + "=" + std::string(value));
    if (const auto t = texts.find(name); t != texts.end()) {
      t->second = value;
      if (value.size() > longestText) longestText = value.size();
      return;
    }
    const auto whole = wholeReading(value);
    if (!whole || !positionRange(control).holds(static_cast<int>(*whole))) {
      positionOutOfRange = true;
      return;
    }
    positions[name] = static_cast<int>(*whole);
  }
};

}  // namespace rotavox::test
