#include "core/files/FileErrors.h"

#include "core/common/Readings.h"

namespace rotavox {

std::string_view fileErrorDescription(FileErrorCode code) {
  switch (code) {
    case FileErrorCode::None: return "No error";
    case FileErrorCode::BadFileName: return "Bad file name";
    case FileErrorCode::PathNotFound: return "Path not found";
    case FileErrorCode::FileNotFound: return "File not found";
    case FileErrorCode::PermissionDenied: return "Permission denied";
    case FileErrorCode::ReadOnlyFileSystem: return "Read-only file system";
    case FileErrorCode::IsFolder: return "Path is a folder";
    case FileErrorCode::NotAFile: return "Not a regular file";
    case FileErrorCode::NameTooLong: return "File name too long";
    case FileErrorCode::DiskFull: return "Disk full";
    case FileErrorCode::FileTooLarge: return "File too large";
    case FileErrorCode::ReadFailed: return "Read error";
    case FileErrorCode::WriteFailed: return "Write error";
    case FileErrorCode::ValueDoesNotFit: return "Value doesn't fit its control";
    case FileErrorCode::ValueNotStorable: return "Value can't be stored in a sound file";
    case FileErrorCode::ControlMissing: return "Control not found";
    case FileErrorCode::FileSystemError: return "File system error";
  }
  return "File system error";
}

std::string fileErrorText(FileErrorCode code) {
  return paddedNumberText(static_cast<int>(code)) + ": " + std::string(fileErrorDescription(code));
}

std::string fileErrorTitle(std::string_view path) { return "Error writing/reading file: " + std::string(path); }

}  // namespace rotavox
