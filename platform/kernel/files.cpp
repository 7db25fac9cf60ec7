// Opening, reading, writing, seeking and sizing files.
#include "platform/kernel/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/kernel/eintr.h"
#include "platform/kernel/errno_map.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/file_locks.h"
#include "platform/kernel/file_object.h"

static_assert(sizeof(off_t) == 8, "the file layer needs 64-bit file offsets");

namespace kvp {

using detail::FileObject;
using detail::LookUpObject;
using detail::RetryOnEintr;

namespace {

// A descriptor just opened, before the share lock is taken.
struct Opened {
  int fd = -1;
  int error = 0;                    // errno when fd < 0
  bool descriptorWritable = false;  // opened O_RDWR
  bool existed = false;             // the file was there before this call
};

// Opens with O_RDWR so that the descriptor can hold write locks whatever the
// handle's access (the layer itself refuses writes through a handle without
// GENERIC_WRITE). Only when the file's permissions or a read-only file
// system refuse O_RDWR, and the caller asked for no write access, does a
// read-only descriptor do. Such a descriptor can hold only read locks: its
// handle's unshared open and its LockFile ranges then keep out writers but
// not other read-only-descriptor holders.
int TryOpen(const char* name, int extraFlags, bool mayFallBack, Opened* out) {
  int fd = RetryOnEintr([&] { return ::open(name, O_RDWR | O_CLOEXEC | extraFlags, 0666); });
  if (fd >= 0) {
    out->fd = fd;
    out->descriptorWritable = true;
    return 0;
  }
  int error = errno;
  if (mayFallBack && (error == EACCES || error == EPERM || error == EROFS)) {
    fd = RetryOnEintr([&] { return ::open(name, O_RDONLY | O_CLOEXEC | extraFlags, 0666); });
    if (fd >= 0) {
      out->fd = fd;
      out->descriptorWritable = false;
      return 0;
    }
    error = errno;
  }
  return error;
}

// Opens or creates without truncating: truncation waits for the share lock.
// An existing file is opened first and a new one created with O_EXCL, so
// that the caller learns whether the file existed (Windows reports it).
Opened OpenDescriptor(const char* name, DWORD access, DWORD disposition) {
  const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  const bool mayFallBack = (access & GENERIC_WRITE) == 0 && !truncates;
  const bool mayCreate = disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING;
  Opened result;
  // Another process may create or delete the file between the two attempts;
  // a few rounds settle any realistic race.
  for (int round = 0; round < 8; ++round) {
    if (disposition != CREATE_NEW) {
      int error = TryOpen(name, 0, mayFallBack, &result);
      if (error == 0) {
        result.existed = true;
        return result;
      }
      if (error != ENOENT || !mayCreate) {
        result.error = error;
        return result;
      }
    }
    int error = TryOpen(name, O_CREAT | O_EXCL, mayFallBack, &result);
    if (error == 0) return result;
    result.error = error;
    if (error != EEXIST || disposition == CREATE_NEW) return result;
  }
  return result;
}

HANDLE FailOpen(int fd, DWORD error) {
  if (fd >= 0) ::close(fd);
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

// Outside readers are never refused here: the share lock binds only this
// layer's opens.
void AdmitOutsideReaders(bool) {}

HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
  if (name == nullptr || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    return FailOpen(-1, ERROR_INVALID_PARAMETER);
  }
  if (*name == '\0') return FailOpen(-1, ERROR_PATH_NOT_FOUND);
  const bool opensOnly = disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING;
  if (fault::ShouldFail(opensOnly ? fault::Op::Open : fault::Op::Create)) {
    return INVALID_HANDLE_VALUE;
  }

  Opened opened = OpenDescriptor(name, access, disposition);
  if (opened.fd < 0) {
    detail::SetLastErrorForPath(opened.error, name);
    return INVALID_HANDLE_VALUE;
  }
  struct stat info {};
  if (::fstat(opened.fd, &info) != 0) return FailOpen(opened.fd, detail::ErrorFromErrno(errno));
  if (S_ISDIR(info.st_mode)) return FailOpen(opened.fd, ERROR_ACCESS_DENIED);

  // Share modes concern files; devices and pipes are opened as they are.
  if (S_ISREG(info.st_mode)) {
    int error = detail::TakeShareLock(opened.fd, share != 0, opened.descriptorWritable);
    if (error == EAGAIN || error == EACCES) return FailOpen(opened.fd, ERROR_SHARING_VIOLATION);
    if (error != 0) return FailOpen(opened.fd, detail::ErrorFromErrno(error));
  }
  // Only now, with the share lock held, may an existing file be emptied: an
  // unshared holder elsewhere has already made the open fail above.
  if (opened.existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) &&
      S_ISREG(info.st_mode)) {
    if (RetryOnEintr([&] { return ::ftruncate(opened.fd, 0); }) != 0) {
      return FailOpen(opened.fd, detail::ErrorFromErrno(errno));
    }
  }
  if (flags & FILE_FLAG_RANDOM_ACCESS) {
    ::posix_fadvise(opened.fd, 0, 0, POSIX_FADV_RANDOM);
  } else if (flags & FILE_FLAG_SEQUENTIAL_SCAN) {
    ::posix_fadvise(opened.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }

  HANDLE handle = detail::RegisterObject(std::make_shared<FileObject>(
      opened.fd, access, opened.descriptorWritable, S_ISREG(info.st_mode)));
  // As on Windows, CREATE_ALWAYS and OPEN_ALWAYS tell that the file was there.
  const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(opened.existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (done != nullptr) *done = 0;
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  if (overlapped != nullptr) {  // no asynchronous input/output here
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE_;
  }
  if (buffer == nullptr && count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  if (!object->CanRead()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  if (fault::ShouldFail(fault::Op::Read)) return FALSE_;

  // A file read returns the whole count unless the end comes first, as on
  // Windows; a device or pipe returns what one read gives.
  auto* bytes = static_cast<char*>(buffer);
  const bool regular = object->isRegular();
  const int64_t start = regular ? object->position() : 0;
  DWORD total = 0;
  while (total < count) {
    ssize_t got = RetryOnEintr([&] {
      return regular ? ::pread(object->fd(), bytes + total, count - total, start + total)
                     : ::read(object->fd(), bytes + total, count - total);
    });
    if (got < 0) {
      if (regular) object->setPosition(start + total);
      if (done != nullptr) *done = total;
      detail::SetLastErrorFromErrno(errno);
      return FALSE_;
    }
    total += static_cast<DWORD>(got);
    if (got == 0 || !regular) break;
  }
  if (regular) object->setPosition(start + total);
  if (done != nullptr) *done = total;
  return TRUE_;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (done != nullptr) *done = 0;
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  if (overlapped != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE_;
  }
  if (buffer == nullptr && count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  if (!object->CanWrite()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  if (fault::ShouldFail(fault::Op::Write)) return FALSE_;

  const auto* bytes = static_cast<const char*>(buffer);
  const bool regular = object->isRegular();
  const int64_t start = regular ? object->position() : 0;
  DWORD total = 0;
  while (total < count) {
    ssize_t put = RetryOnEintr([&] {
      return regular ? ::pwrite(object->fd(), bytes + total, count - total, start + total)
                     : ::write(object->fd(), bytes + total, count - total);
    });
    if (put <= 0) {
      // A short write followed by no progress is the disk filling up.
      if (regular) object->setPosition(start + total);
      if (done != nullptr) *done = total;
      detail::SetLastErrorFromErrno(put == 0 ? ENOSPC : errno);
      return FALSE_;
    }
    total += static_cast<DWORD>(put);
  }
  if (regular) object->setPosition(start + total);
  if (done != nullptr) *done = total;
  return TRUE_;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return INVALID_SET_FILE_POINTER;

  // With a high part the two halves form one signed 64-bit distance;
  // without, the low part alone is a signed 32-bit distance.
  const int64_t move =
      distanceHigh != nullptr
          ? static_cast<int64_t>((uint64_t{static_cast<uint32_t>(*distanceHigh)} << 32) |
                                 static_cast<uint32_t>(distance))
          : int64_t{distance};
  int64_t base = 0;
  if (method == FILE_CURRENT) {
    base = object->isRegular() ? object->position() : ::lseek(object->fd(), 0, SEEK_CUR);
  } else if (method == FILE_END) {
    struct stat info {};
    base = ::fstat(object->fd(), &info) == 0 ? info.st_size : -1;
  } else if (method != FILE_BEGIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (base < 0) {
    detail::SetLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }

  int64_t target = 0;
  if (__builtin_add_overflow(base, move, &target)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (target < 0) {  // the position stays where it was
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh == nullptr && target > int64_t{0xFFFFFFFF}) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the caller could not learn the position
    return INVALID_SET_FILE_POINTER;
  }
  if (object->isRegular()) {
    object->setPosition(target);
  } else if (::lseek(object->fd(), target, SEEK_SET) < 0) {
    detail::SetLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(target >> 32);
  // A position whose low half is 0xFFFFFFFF is valid: callers tell it from a
  // failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(target);
}

BOOL SetEndOfFile(HANDLE file) {
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  if (!object->CanWrite()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  if (fault::ShouldFail(fault::Op::Truncate)) return FALSE_;
  const off_t position =
      object->isRegular() ? object->position() : ::lseek(object->fd(), 0, SEEK_CUR);
  if (position < 0 || RetryOnEintr([&] { return ::ftruncate(object->fd(), position); }) != 0) {
    detail::SetLastErrorFromErrno(errno);
    return FALSE_;
  }
  return TRUE_;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return INVALID_FILE_SIZE;
  struct stat info {};
  if (::fstat(object->fd(), &info) != 0) {
    detail::SetLastErrorFromErrno(errno);
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<uint64_t>(info.st_size);
  if (high != nullptr) *high = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);  // a low half of 0xFFFFFFFF is a valid size
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
  std::shared_ptr<FileObject> object = LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  if (!object->CanWrite()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  if (RetryOnEintr([&] { return ::fsync(object->fd()); }) != 0 && errno != EINVAL) {
    detail::SetLastErrorFromErrno(errno);  // EINVAL: a pipe or device, nothing to flush
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace kvp
