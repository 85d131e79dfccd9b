#pragma once

#include <string>

namespace rotavox {

// The file dialog's texts that outlive the dialog and last for the whole run.
struct FileDialogState {
  std::string FileDialogMode;           // "Open" or "Save"
  std::string LastSoundFolder = "?";    // "?" until the dialog has shown a folder
  std::string DialogStartDrive;         // the drive shown at the end of the dialog's start-up
};

}  // namespace rotavox
