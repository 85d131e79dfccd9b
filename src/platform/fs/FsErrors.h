#pragma once

#include "core/files/FileErrors.h"

namespace rotavox {

enum class FileAccess { Reading, Writing };

// The program's file error for a system error number (errno) met while reading or writing.
FileErrorCode fileErrorFromErrno(int error, FileAccess access);

}  // namespace rotavox
