// Feeds arbitrary bytes to the sound file reader. It must stay inside its input, never
// crash, keep every field within the limit, set only values the controls can hold, and a
// file it loaded must write and read back to the same values.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "core/files/SoundFile.h"

namespace {

using namespace rotavox;

class FuzzControls : public SoundControls {
 public:
  std::map<std::string, std::string, std::less<>> texts;
  std::map<std::string, int, std::less<>> positions;

  FuzzControls() {
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
    if (value.size() > kMaxFieldBytes + 1) std::abort();  // a field, plus an octave's quote
    it->second = value;
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
    if (!range->holds(value)) std::abort();  // a value the control cannot hold got through
    positions.find(name)->second = value;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  FuzzControls loaded;
  MemorySource source(bytes);
  const SoundFileOutcome outcome = applySoundFile(source, loaded);
  if (outcome.kind == SoundFileOutcome::Kind::Failed &&
      (outcome.line < 1 || outcome.line > kSoundFileLineCount))
    std::abort();

  if (outcome.ok()) {
    const ComposedSoundFile composed = composeSoundFile(loaded);
    if (composed.outcome.ok()) {
      FuzzControls again;
      MemorySource written(composed.bytes);
      if (!applySoundFile(written, again).ok()) std::abort();
      if (again.texts != loaded.texts || again.positions != loaded.positions) std::abort();
    }
  }

  // The field reader alone, with a small limit so long fields are met often.
  MemorySource fields(bytes);
  FieldReader reader(fields, 16);
  std::string field;
  std::size_t count = 0;
  while (reader.next(field) == FieldReader::Status::Field) {
    if (field.size() > 16 || ++count > size + 1) std::abort();
  }
  return 0;
}
