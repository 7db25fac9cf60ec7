// Internal: translation of POSIX errno values into the Windows error numbers
// that the libraries test through GetLastError.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp::detail {

// The Windows error number that stands for `errnoValue`.
DWORD ErrorFromErrno(int errnoValue);

// Sets the last error from `errnoValue` (usually errno).
void SetLastErrorFromErrno(int errnoValue);

// For a path that does not exist: ERROR_FILE_NOT_FOUND when its directory
// exists, ERROR_PATH_NOT_FOUND when the directory itself is missing, as
// Windows tells the two apart.
DWORD MissingPathError(const char* path);

// Sets the last error for a failed operation on `path`: ENOENT is split by
// MissingPathError, everything else goes through ErrorFromErrno.
void SetLastErrorForPath(int errnoValue, const char* path);

}  // namespace kvp::detail
