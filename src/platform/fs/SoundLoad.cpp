#include "platform/fs/SoundLoad.h"

#include "platform/fs/SoundFileStore.h"

namespace rotavox {

SoundFileOutcome loadSoundInto(const std::string& path, SoundControls& controls) {
  const SoundFileOutcome outcome = loadSoundFile(path, controls);
  if (outcome.kind != SoundFileOutcome::Kind::HeaderMismatch) controls.soundLoaded(path, outcome.ok());
  return outcome;
}

}  // namespace rotavox
