// Operations on files by name (delete, rename, attributes) and the file
// layer's process settings.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <string>

#include "platform/kernel/eintr.h"
#include "platform/kernel/errno_map.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/file_locks.h"
#include "platform/kernel/files.h"

namespace kvp {

using detail::RetryOnEintr;

namespace {

// Windows refuses to delete or rename a file while a handle has it open.
// Returns 0 when `name` may go, else the Windows error. A file we may not
// even read cannot be probed; the removal itself then decides.
DWORD CheckNotOpen(const char* name) {
  int fd = RetryOnEintr([&] { return ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); });
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM) return 0;
    return errno == ENOENT ? detail::MissingPathError(name) : detail::ErrorFromErrno(errno);
  }
  struct stat info {};
  bool isOpen = false;
  int error = 0;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    isOpen = detail::FileIsOpenElsewhere(fd, &error);
  }
  ::close(fd);
  if (error != 0) return detail::ErrorFromErrno(error);
  return isOpen ? ERROR_SHARING_VIOLATION : 0;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE_;
}

std::atomic<UINT> gErrorMode{0};

}  // namespace

BOOL DeleteFileA(const char* name) {
  if (name == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (*name == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  if (fault::ShouldFail(fault::Op::Erase)) return FALSE_;
  if (DWORD error = CheckNotOpen(name)) return Fail(error);
  if (::unlink(name) != 0) {  // a directory gives EISDIR: access denied, as on Windows
    detail::SetLastErrorForPath(errno, name);
    return FALSE_;
  }
  return TRUE_;
}

BOOL MoveFileA(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (*from == '\0' || *to == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  if (fault::ShouldFail(fault::Op::Rename)) return FALSE_;
  if (DWORD error = CheckNotOpen(from)) return Fail(error);

  // RENAME_NOREPLACE refuses an existing target atomically; file systems
  // without it get the check and the rename as two steps.
  int result = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (result != 0 && errno == EINVAL) {
    struct stat target {};
    if (::lstat(to, &target) == 0) return Fail(ERROR_ALREADY_EXISTS);
    result = ::rename(from, to);
  }
  if (result == 0) return TRUE_;
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (errno == ENOENT) {
    // Either the source vanished meanwhile or the target's folder is missing.
    struct stat source {};
    return Fail(::lstat(from, &source) == 0 ? ERROR_PATH_NOT_FOUND
                                            : detail::MissingPathError(from));
  }
  detail::SetLastErrorFromErrno(errno);
  return FALSE_;
}

DWORD GetFileAttributesA(const char* name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (*name == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat info {};
  if (::stat(name, &info) != 0) {
    detail::SetLastErrorForPath(errno, name);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetTempPathA(DWORD size, char* buffer) {
  const char* fromEnvironment = ::getenv("TMPDIR");
  std::string path =
      fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp/";
  if (path.back() != '/') path += '/';
  // Too small a buffer: Windows returns the size needed, the NUL included.
  if (buffer == nullptr || size <= path.size()) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

UINT SetErrorMode(UINT mode) {
  return gErrorMode.exchange(mode);
}

UINT SetHandleCount(UINT count) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < count) {
    struct rlimit raised = limit;
    raised.rlim_cur =
        limit.rlim_max == RLIM_INFINITY ? count : std::min<rlim_t>(count, limit.rlim_max);
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > UINT_MAX) return UINT_MAX;
  return static_cast<UINT>(limit.rlim_cur);
}

}  // namespace kvp
