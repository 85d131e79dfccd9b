// Feeds arbitrary bytes to the sound file reader. It must stay inside its input, never
// crash, keep every field within the limit, set only values the controls can hold, and a
// file it loaded must write and read back to the same values.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "../tests/support/MapSoundControls.h"
#include "core/files/SoundFile.h"

namespace {

using namespace rotavox;

// A loaded value must fit its control: a field within the limit (plus an octave's quote),
// a position within its control's range.
void checkControls(const test::MapSoundControls& controls) {
  if (controls.longestText > kMaxFieldBytes + 1 || controls.positionOutOfRange) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  test::MapSoundControls loaded;
  MemorySource source(bytes);
  const SoundFileOutcome outcome = applySoundFile(source, loaded);
  checkControls(loaded);
  if (outcome.kind == SoundFileOutcome::Kind::Failed &&
      (outcome.line < 1 || outcome.line > kSoundFileLineCount))
    std::abort();

  if (outcome.ok()) {
    const ComposedSoundFile composed = composeSoundFile(loaded);
    if (composed.outcome.ok()) {
      test::MapSoundControls again;
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
