// The thread-local last error and the errno translation.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/kernel/errno_map.h"

namespace kvp {

namespace {
// Windows keeps the last error per thread; so do we.
thread_local DWORD tLastError = ERROR_SUCCESS;

// Windows numbers that have no named constant in win_types.h.
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorDirNotEmpty = 145;
constexpr DWORD kErrorIoDevice = 1117;
constexpr DWORD kErrorCantResolveFilename = 1921;
}  // namespace

DWORD GetLastError() {
  return tLastError;
}

void SetLastError(DWORD error) {
  tLastError = error;
}

namespace detail {

DWORD ErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:  // Windows refuses to open a directory as a file this way.
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case EXDEV:
      return kErrorNotSameDevice;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EAGAIN:
      return ERROR_LOCK_VIOLATION;
    case ENOLCK:
      return ERROR_SHARING_BUFFER_EXCEEDED;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EINVAL:
    case EOVERFLOW:
      return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
      return kErrorCantResolveFilename;
    case EIO:
      return kErrorIoDevice;
    default:
      return kErrorGenFailure;
  }
}

void SetLastErrorFromErrno(int errnoValue) {
  SetLastError(ErrorFromErrno(errnoValue));
}

DWORD MissingPathError(const char* path) {
  std::string directory(path);
  size_t slash = directory.find_last_of('/');
  if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;  // the current directory
  directory.resize(slash == 0 ? 1 : slash);
  struct stat info {};
  if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ERROR_FILE_NOT_FOUND;
  return ERROR_PATH_NOT_FOUND;
}

void SetLastErrorForPath(int errnoValue, const char* path) {
  SetLastError(errnoValue == ENOENT ? MissingPathError(path) : ErrorFromErrno(errnoValue));
}

}  // namespace detail
}  // namespace kvp
