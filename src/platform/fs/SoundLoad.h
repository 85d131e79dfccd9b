#pragma once

#include <string>

#include "core/files/SoundFile.h"

namespace rotavox {

// The one way a sound file comes onto the panel, for the file dialog's Load and the sound
// browser alike: the file is read into the controls (loadSoundFile), and the controls are
// told what came from where, which makes the load one undo step and, when complete, the
// reference for Compare. A header of another version leaves the controls untold: nothing
// was changed.
SoundFileOutcome loadSoundInto(const std::string& path, SoundControls& controls);

}  // namespace rotavox
