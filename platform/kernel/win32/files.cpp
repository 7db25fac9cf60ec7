// Files and byte-range locks: the system's own calls. The layer keeps two
// things of its own on top: failure injection for tests, and the share-mode
// rule the libraries rely on (0 is an unshared open, any other value a
// shared one, for reading and writing alike, so that two engines that open
// the same file shared never refuse each other).
#include "platform/kernel/files.h"

#include <atomic>

#include "platform/kernel/fault.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {

namespace {

std::atomic<bool> gAdmitOutsideReaders{false};

bool IsCreation(DWORD disposition) {
  return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
}

// Rejects the ranges the POSIX layer rejects, so that both targets answer a
// bad range alike: empty, reaching beyond 2^63, or covering the byte that
// stands for share modes there.
bool RangeIsValid(DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh) {
  const uint64_t offset = (uint64_t{offsetHigh} << 32) | offsetLow;
  const uint64_t length = (uint64_t{lengthHigh} << 32) | lengthLow;
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  if (length == 0 || offset >= kLimit || length > kLimit - offset) return false;
  const auto share = static_cast<uint64_t>(kShareLockOffset);
  return !(offset <= share && share < offset + length);
}

}  // namespace

void AdmitOutsideReaders(bool admit) {
  gAdmitOutsideReaders.store(admit, std::memory_order_relaxed);
}

HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
  if (fault::ShouldFail(IsCreation(disposition) ? fault::Op::Create : fault::Op::Open)) {
    return INVALID_HANDLE_VALUE;
  }
  // Admitting readers (tests only, see files.h) shares reading alone.
  const DWORD unshared = gAdmitOutsideReaders.load(std::memory_order_relaxed) ? FILE_SHARE_READ : 0;
  const DWORD shareMode = share == 0 ? unshared : (FILE_SHARE_READ | FILE_SHARE_WRITE);
  const DWORD attributes =
      FILE_ATTRIBUTE_NORMAL | (flags & (FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_SEQUENTIAL_SCAN));
  HANDLE file = ::CreateFileA(name, access, shareMode, nullptr, disposition, attributes, nullptr);
  if (file != INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    ::SetLastError(ERROR_SUCCESS);
  }
  return file;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (overlapped != nullptr) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (fault::ShouldFail(fault::Op::Read)) return FALSE;
  ::DWORD got = 0;
  const BOOL ok = ::ReadFile(file, buffer, count, &got, nullptr);
  if (done != nullptr) *done = got;
  return ok;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (overlapped != nullptr) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (done != nullptr) *done = 0;
  if (fault::ShouldFail(fault::Op::Write)) return FALSE;
  ::DWORD put = 0;
  const BOOL ok = ::WriteFile(file, buffer, count, &put, nullptr);
  if (done != nullptr) *done = put;
  return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  PLONG high = reinterpret_cast<PLONG>(distanceHigh);
  const DWORD low = ::SetFilePointer(file, distance, high, method);
  // A valid low half may equal INVALID_SET_FILE_POINTER: callers then tell
  // by the last error, which success leaves at 0.
  if (low != INVALID_SET_FILE_POINTER) ::SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL SetEndOfFile(HANDLE file) {
  if (fault::ShouldFail(fault::Op::Truncate)) return FALSE;
  return ::SetEndOfFile(file);
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  ::DWORD upper = 0;
  const DWORD low = ::GetFileSize(file, &upper);
  if (high != nullptr) *high = upper;
  return low;
}

BOOL FlushFileBuffers(HANDLE file) {
  return ::FlushFileBuffers(file);
}

BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh) {
  if (!RangeIsValid(offsetLow, offsetHigh, lengthLow, lengthHigh)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (fault::ShouldFail(fault::Op::Lock)) return FALSE;
  OVERLAPPED at{};
  at.Offset = offsetLow;
  at.OffsetHigh = offsetHigh;
  // Exclusive and without waiting, as LockFile itself: a held range is
  // refused at once with ERROR_LOCK_VIOLATION.
  return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, lengthLow,
                      lengthHigh, &at);
}

BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh) {
  if (!RangeIsValid(offsetLow, offsetHigh, lengthLow, lengthHigh)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OVERLAPPED at{};
  at.Offset = offsetLow;
  at.OffsetHigh = offsetHigh;
  return ::UnlockFileEx(file, 0, lengthLow, lengthHigh, &at);
}

BOOL CloseHandle(HANDLE file) {
  return ::CloseHandle(file);
}

BOOL DeleteFileA(const char* name) {
  if (fault::ShouldFail(fault::Op::Erase)) return FALSE;
  return ::DeleteFileA(name);
}

BOOL MoveFileA(const char* from, const char* to) {
  if (fault::ShouldFail(fault::Op::Rename)) return FALSE;
  return ::MoveFileA(from, to);
}

DWORD GetFileAttributesA(const char* name) {
  // The libraries ask only whether a path exists and whether it is a folder.
  const DWORD attributes = ::GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return INVALID_FILE_ATTRIBUTES;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FILE_ATTRIBUTE_DIRECTORY
                                                      : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetTempPathA(DWORD size, char* buffer) {
  return ::GetTempPathA(size, buffer);
}

UINT SetErrorMode(UINT mode) {
  return ::SetErrorMode(mode);
}

UINT SetHandleCount(UINT count) {
  // Windows has no per-process limit of file handles below what the
  // libraries ask.
  return count;
}

}  // namespace kvp
