#pragma once

#include <string>
#include <string_view>

#include "core/files/SoundFile.h"

namespace rotavox {

// BadFileName for a path that cannot name one sound file: empty, ending in a separator, or
// with a wildcard in its name.
FileErrorCode checkSoundFilePath(std::string_view path);

// Replaces the file at `path` with `bytes`, or creates it. The bytes go to a temporary file
// in the same folder, which is flushed to the disk and then renamed over the old file: a save
// that fails half-way (disk full, no permission, the program killed) leaves the old file as
// it was, and a failed save removes its temporary file. A symbolic link stays a link; its
// target is replaced. A replaced file keeps its permissions; a read-only one is refused.
FileErrorCode writeFileAtomically(const std::string& path, std::string_view bytes);

// Writes the controls' values as a sound file.
SoundFileOutcome saveSoundFile(const std::string& path, const SoundControls& controls);

// Reads a sound file into the controls, field by field (see applySoundFile). Only regular
// files are read.
SoundFileOutcome loadSoundFile(const std::string& path, SoundControls& controls);

}  // namespace rotavox
