#include "platform/fs/FsErrors.h"

#include <cerrno>

namespace rotavox {

FileErrorCode fileErrorFromErrno(int error, FileAccess access) {
  switch (error) {
    case 0: return FileErrorCode::None;
    case ENOENT: return access == FileAccess::Reading ? FileErrorCode::FileNotFound : FileErrorCode::PathNotFound;
    case ENOTDIR: return FileErrorCode::PathNotFound;
    case EACCES:
    case EPERM: return FileErrorCode::PermissionDenied;
    case EROFS: return FileErrorCode::ReadOnlyFileSystem;
    case EISDIR: return FileErrorCode::IsFolder;
    case ENAMETOOLONG: return FileErrorCode::NameTooLong;
    case ENOSPC:
    case EDQUOT: return FileErrorCode::DiskFull;
    case EFBIG: return FileErrorCode::FileTooLarge;
    case EIO: return access == FileAccess::Reading ? FileErrorCode::ReadFailed : FileErrorCode::WriteFailed;
    default: return FileErrorCode::FileSystemError;
  }
}

}  // namespace rotavox
