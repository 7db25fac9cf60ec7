// Files and byte-range locks (used by kvxbase).
//
// Files are POSIX descriptors behind opaque handles. Byte-range locks are
// Linux open-file-description locks: held per open handle like Windows locks,
// exclusive, conflicting between two handles even inside one process, and
// released on close. Windows share modes are emulated with the same kind of
// lock on a reserved byte far above every region the libraries lock: a shared
// open holds a read lock there, an unshared open a write lock, so a
// conflicting open fails with ERROR_SHARING_VIOLATION.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;

inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000u;
inline constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

// The byte whose lock stands for the share mode of an open. Every region the
// libraries lock lies below 4 GiB.
inline constexpr int64_t kShareLockOffset = int64_t{1} << 40;

// Opens or creates a file. `access` is GENERIC_READ and/or GENERIC_WRITE;
// `share` 0 is an unshared open (no other open of the file may coexist), any
// other value a shared one. Returns INVALID_HANDLE_VALUE with the last error
// set on failure (2 not found, 3 path not found, 5 access denied, 32 sharing
// violation, 80 exists for CREATE_NEW).
KVP_API HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                           DWORD disposition, DWORD flags, HANDLE templateFile);

// Reads up to `count` bytes at the current position; `*done` receives the
// number read (0 at the end of the file, which is not an error).
KVP_API BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped);

// Writes `count` bytes at the current position. A handle opened without
// GENERIC_WRITE fails with ERROR_ACCESS_DENIED.
KVP_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped);

// Moves the position; the 64-bit distance is split as Windows does
// (`distanceHigh` may be null for a 32-bit signed distance). Returns the low
// 32 bits of the new position, INVALID_SET_FILE_POINTER with the last error
// set on failure.
KVP_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);

// Sets the end of the file at the current position (truncates or extends
// with zeros).
KVP_API BOOL SetEndOfFile(HANDLE file);

// Size of the file: low 32 bits returned, high 32 bits in `*high` when given.
KVP_API DWORD GetFileSize(HANDLE file, DWORD* high);

KVP_API BOOL FlushFileBuffers(HANDLE file);

// Exclusive byte-range locks. A lock that conflicts with a lock held through
// another open handle (in this process or another) fails at once with
// ERROR_LOCK_VIOLATION. Unlocking a range that is not locked through this
// handle fails with ERROR_NOT_LOCKED (158).
KVP_API BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow,
                      DWORD lengthHigh);
KVP_API BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow,
                        DWORD lengthHigh);

// Closes the handle and releases every lock held through it.
KVP_API BOOL CloseHandle(HANDLE file);

// Deletes a file. Fails with ERROR_SHARING_VIOLATION while any handle has it
// open, as on Windows.
KVP_API BOOL DeleteFileA(const char* name);

// Renames `from` to `to`; fails when `to` exists (ERROR_ALREADY_EXISTS) or
// while `from` is open (ERROR_SHARING_VIOLATION).
KVP_API BOOL MoveFileA(const char* from, const char* to);

// FILE_ATTRIBUTE_NORMAL (or 0x10 for a directory) when the path exists,
// INVALID_FILE_ATTRIBUTES otherwise.
KVP_API DWORD GetFileAttributesA(const char* name);

// Writes the system's directory for temporary files, with a trailing '/'.
KVP_API DWORD GetTempPathA(DWORD size, char* buffer);

// Error-mode switch for critical-error boxes; there are none here, so this
// only remembers and returns the previous mode.
KVP_API UINT SetErrorMode(UINT mode);

// Raises the process's limit of open files to at least `count`; returns the
// number now allowed.
KVP_API UINT SetHandleCount(UINT count);

}  // namespace kvp
