#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/SoundFile.h"

namespace rotavox::test {

// The value controls of a sound file as plain maps: every text control starts at "?", every
// slider and check box at 0. Every set is logged, so the order of the writes shows, and a set
// a real control could not hold is flagged.
class MapSoundControls : public SoundControls {
 public:
  std::map<std::string, std::string, std::less<>> texts;
  std::map<std::string, int, std::less<>> positions;
  std::vector<std::string> log;      // "name=value" for every set, in order
  std::size_t longestText = 0;       // the longest text set so far
  bool positionOutOfRange = false;   // a position outside its control's range was set

  MapSoundControls() {
    for (const SoundFileLine& line : kSoundFileLines) {
      if (line.kind == SoundLineKind::Text || line.kind == SoundLineKind::Octave) texts[std::string(line.control)] = "?";
      if (line.kind == SoundLineKind::Position) positions[std::string(line.control)] = 0;
    }
  }
  std::optional<std::string> text(std::string_view name) const override {
    const auto it = texts.find(name);
    return it == texts.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  bool setText(std::string_view name, std::string_view value) override {
    const auto it = texts.find(name);
    if (it == texts.end()) return false;
    it->second = value;
    if (value.size() > longestText) longestText = value.size();
    log.push_back(std::string(name) + "=" + std::string(value));
    return true;
  }
  std::optional<int> position(std::string_view name) const override {
    const auto it = positions.find(name);
    return it == positions.end() ? std::nullopt : std::optional<int>(it->second);
  }
  std::optional<PositionRange> positionRange(std::string_view name) const override {
    if (!positions.count(name)) return std::nullopt;
    return name.substr(0, 5) == "Check" ? PositionRange{0, 1} : PositionRange{0, 127};
  }
  bool setPosition(std::string_view name, int value) override {
    const auto range = positionRange(name);
    if (!range) return false;
    if (!range->holds(value)) positionOutOfRange = true;
    positions.find(name)->second = value;
    log.push_back(std::string(name) + "=" + std::to_string(value));
    return true;
  }
};

}  // namespace rotavox::test
