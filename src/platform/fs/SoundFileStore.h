#pragma once

#include <string>
#include <string_view>

#include "core/files/SoundFile.h"

namespace rotavox {

// BadFileName for a path that cannot name one sound file: empty, ending in a separator, or
// with a wildcard or a control character in its name.
FileErrorCode checkSoundFilePath(std::string_view path);

// Replaces the file at `path` with `bytes`, or creates it. The bytes go to a temporary file
// in the same folder, which is flushed to the disk and then renamed over the old file: a save
// that fails half-way (disk full, no permission, the program killed) leaves the old file as
// it was, and a failed save removes its temporary file, as the next save removes the saver's
// own ones that a killed save left. A symbolic link stays a link and its target is replaced,
// but only where the kernel's protected_symlinks rule would follow the link; elsewhere the
// save is refused with PermissionDenied. A replaced file keeps its permissions and owner; one
// without any write bit is refused, even to root.
FileErrorCode writeFileAtomically(const std::string& path, std::string_view bytes);

// Makes a write past the file size limit (RLIMIT_FSIZE) fail with EFBIG, which a save reports,
// instead of killing the program with SIGXFSZ. Called once where the program starts.
void ignoreFileSizeSignal();

// Writes the controls' values as a sound file.
SoundFileOutcome saveSoundFile(const std::string& path, const SoundControls& controls);

// Reads a sound file into the controls, field by field (see applySoundFile). Only regular
// files are read.
SoundFileOutcome loadSoundFile(const std::string& path, SoundControls& controls);

}  // namespace rotavox
