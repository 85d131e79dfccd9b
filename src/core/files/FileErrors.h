#pragma once

#include <string>
#include <string_view>

namespace rotavox {

// The errors a sound file save or load can end in. The numbers are the program's own and
// stay the same from release to release: users quote them.
enum class FileErrorCode : int {
  None = 0,
  BadFileName = 1,
  PathNotFound = 2,
  FileNotFound = 3,
  PermissionDenied = 4,
  ReadOnlyFileSystem = 5,
  IsFolder = 6,
  NotAFile = 7,
  NameTooLong = 8,
  DiskFull = 9,
  FileTooLarge = 10,
  ReadFailed = 11,
  WriteFailed = 12,
  ValueDoesNotFit = 13,
  ValueNotStorable = 14,
  ControlMissing = 15,  // no longer raised: each line names its control at build time; the number stays taken
  FileSystemError = 16,
};

// A short description of the error, as the general error message shows it.
std::string_view fileErrorDescription(FileErrorCode code);

// The text of the general error message: the number with one leading blank, ": ", the
// description (" 3: File not found").
std::string fileErrorText(FileErrorCode code);

// The title of the general error message for the path that was saved or loaded.
std::string fileErrorTitle(std::string_view path);

}  // namespace rotavox
