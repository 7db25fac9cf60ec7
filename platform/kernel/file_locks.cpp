// Share modes and byte-range locks: Linux open-file-description locks, held
// per open handle (not per process), so two handles conflict even inside one
// process, and released when the handle's descriptor closes.
//
// The locks are advisory: reads and writes are not checked against them as
// Windows checks them. The libraries lock regions beyond the data they read
// and write, so nothing depends on that difference.
#include "platform/kernel/file_locks.h"

#include <fcntl.h>

#include <iterator>
#include <memory>

#include "platform/kernel/eintr.h"
#include "platform/kernel/errno_map.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/file_object.h"
#include "platform/kernel/files.h"

namespace kvp {

using detail::FileObject;
using detail::RetryOnEintr;

namespace {

// Sets (or with F_UNLCK clears) a lock of this open without waiting; returns
// 0 or the errno.
int SetOpenLock(int fd, short type, int64_t start, int64_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;  // never 0 here: 0 would mean "to the end and beyond"
  lock.l_pid = 0;       // required for open-file-description locks
  return RetryOnEintr([&] { return ::fcntl(fd, F_OFD_SETLK, &lock); }) == 0 ? 0 : errno;
}

uint64_t Join(DWORD low, DWORD high) {
  return (uint64_t{high} << 32) | low;
}

// A range the kernel can lock and that leaves the share-mode byte alone
// (locking it through LockFile would replace the handle's share lock).
bool IsLockableRange(uint64_t offset, uint64_t length) {
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);
  if (length == 0 || offset > kMaxOffset || length > kMaxOffset - offset) return false;
  const auto reserved = static_cast<uint64_t>(kShareLockOffset);
  return !(offset <= reserved && reserved < offset + length);
}

// True when [offset, offset + length) shares a byte with a range held.
bool OverlapsHeldRange(const std::map<uint64_t, uint64_t>& held, uint64_t offset, uint64_t length) {
  auto after = held.upper_bound(offset);
  if (after != held.end() && after->first < offset + length) return true;
  if (after == held.begin()) return false;
  auto before = std::prev(after);
  return before->first + before->second > offset;
}

}  // namespace

namespace detail {

int TakeShareLock(int fd, bool shared, bool descriptorWritable) {
  const short type = shared || !descriptorWritable ? F_RDLCK : F_WRLCK;
  return SetOpenLock(fd, type, kShareLockOffset, 1);
}

bool FileIsOpenElsewhere(int fd, int* error) {
  struct flock probe {};
  probe.l_type = F_WRLCK;  // conflicts with the share lock of any other open
  probe.l_whence = SEEK_SET;
  probe.l_start = kShareLockOffset;
  probe.l_len = 1;
  probe.l_pid = 0;
  *error = 0;
  if (RetryOnEintr([&] { return ::fcntl(fd, F_OFD_GETLK, &probe); }) != 0) {
    *error = errno;
    return false;
  }
  return probe.l_type != F_UNLCK;
}

}  // namespace detail

BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh) {
  std::shared_ptr<FileObject> object = detail::LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  const uint64_t offset = Join(offsetLow, offsetHigh);
  const uint64_t length = Join(lengthLow, lengthHigh);
  if (!IsLockableRange(offset, length)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  if (fault::ShouldFail(fault::Op::Lock)) return FALSE_;

  std::lock_guard<std::mutex> guard(object->locksMutex);
  // Windows refuses a lock over bytes this same handle holds already.
  if (OverlapsHeldRange(object->lockedRanges, offset, length)) {
    SetLastError(ERROR_LOCK_VIOLATION);
    return FALSE_;
  }
  // A read-only descriptor can hold only a read lock, which keeps out
  // writers but not other read locks (see the open in files.cpp).
  const short type = object->descriptorWritable() ? F_WRLCK : F_RDLCK;
  int error =
      SetOpenLock(object->fd(), type, static_cast<int64_t>(offset), static_cast<int64_t>(length));
  if (error != 0) {
    SetLastError(error == EAGAIN || error == EACCES ? ERROR_LOCK_VIOLATION
                                                    : detail::ErrorFromErrno(error));
    return FALSE_;
  }
  object->lockedRanges.emplace(offset, length);
  return TRUE_;
}

BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh) {
  std::shared_ptr<FileObject> object = detail::LookUpObject<FileObject>(file);
  if (!object) return FALSE_;
  const uint64_t offset = Join(offsetLow, offsetHigh);
  const uint64_t length = Join(lengthLow, lengthHigh);

  // The kernel unlocks any range silently, so the handle's own record says
  // whether this exact range was locked, as Windows requires.
  std::lock_guard<std::mutex> guard(object->locksMutex);
  auto held = object->lockedRanges.find(offset);
  if (held == object->lockedRanges.end() || held->second != length) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE_;
  }
  int error = SetOpenLock(object->fd(), F_UNLCK, static_cast<int64_t>(offset),
                          static_cast<int64_t>(length));
  if (error != 0) {
    detail::SetLastErrorFromErrno(error);
    return FALSE_;
  }
  object->lockedRanges.erase(held);
  return TRUE_;
}

}  // namespace kvp
