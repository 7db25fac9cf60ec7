// Files and byte-range locks (used by kvxbase).
//
// Files are POSIX descriptors behind opaque handles (numbers from a table,
// so a stale or forged handle fails with ERROR_INVALID_HANDLE). Byte-range
// locks are Linux open-file-description locks: held per open handle like
// Windows locks, exclusive, conflicting between two handles even inside one
// process, and released on close (or when the holding process dies). Windows
// share modes are emulated with the same kind of lock on a reserved byte far
// above every region the libraries lock: a shared open holds a read lock
// there, an unshared open a write lock, so a conflicting open fails with
// ERROR_SHARING_VIOLATION.
//
// Unlike Windows locks these are advisory: ReadFile and WriteFile do not
// check them. The libraries lock regions beyond their data, so nothing relies
// on that check.
//
// A handle's descriptor is opened for reading and writing whenever the file
// allows it, whatever the access asked, so that every handle can hold
// exclusive locks; the access is enforced here. A file that may only be read
// (permissions, read-only file system) gets a read-only descriptor, which can
// hold only read locks: its unshared opens and LockFile ranges keep out
// writable handles but not other such read-only ones.
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
// set on failure (2 not found, 3 path not found, 5 access denied or a
// folder, 32 sharing violation, 80 exists for CREATE_NEW, 206 name too
// long). CREATE_ALWAYS and TRUNCATE_EXISTING empty the file only once the
// share lock is held, so a file another handle holds is never emptied. On
// success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or
// OPEN_ALWAYS found the file, else 0. `flags` may carry the random-access or
// sequential-scan hint; `security` and `templateFile` are ignored.
KVP_API HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                           DWORD disposition, DWORD flags, HANDLE templateFile);

// For tests that check the bytes a call leaves in a file the engine still
// holds unshared, through the C library (fopen): from now on an unshared open
// lets other opens read the file. The POSIX layer's share modes bind only its
// own opens, so there the C library reads anyway and this changes nothing; on
// Windows an unshared open then shares reading, which admits read-only opens
// through this layer too (writing ones stay refused), so a test that checks
// that exclusion keeps this off. Off at the start; the libraries never call
// it.
KVP_API void AdmitOutsideReaders(bool admit);

// Reads up to `count` bytes at the current position; `*done` receives the
// number read (0 at the end of the file, which is not an error). A handle
// without GENERIC_READ fails with ERROR_ACCESS_DENIED; `overlapped` must be
// null (ERROR_NOT_SUPPORTED).
KVP_API BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done, void* overlapped);

// Writes `count` bytes at the current position. A handle opened without
// GENERIC_WRITE fails with ERROR_ACCESS_DENIED.
KVP_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done, void* overlapped);

// Moves the position; the 64-bit distance is split as Windows does
// (`distanceHigh` may be null for a 32-bit signed distance). Returns the low
// 32 bits of the new position (the last error 0, since a valid low half may
// equal INVALID_SET_FILE_POINTER), or INVALID_SET_FILE_POINTER with the last
// error set: ERROR_NEGATIVE_SEEK before the start (the position stays),
// ERROR_INVALID_PARAMETER beyond 4 GiB without `distanceHigh`.
KVP_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);

// Sets the end of the file at the current position (truncates or extends
// with zeros). Needs GENERIC_WRITE.
KVP_API BOOL SetEndOfFile(HANDLE file);

// Size of the file: low 32 bits returned, high 32 bits in `*high` when given.
KVP_API DWORD GetFileSize(HANDLE file, DWORD* high);

KVP_API BOOL FlushFileBuffers(HANDLE file);

// Exclusive byte-range locks. A lock that conflicts with a lock held through
// another open handle (in this process or another) fails at once with
// ERROR_LOCK_VIOLATION, and so does a lock over bytes this same handle holds
// already, as on Windows. Unlocking must name exactly a range this handle
// locked; anything else fails with ERROR_NOT_LOCKED (158). An empty range, or
// one that reaches beyond 2^63 or covers the reserved byte kShareLockOffset,
// fails with ERROR_INVALID_PARAMETER.
KVP_API BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow,
                      DWORD lengthHigh);
KVP_API BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow,
                        DWORD lengthHigh);

// Closes the handle and releases every lock held through it (its share mode
// too). A handle that is not open fails with ERROR_INVALID_HANDLE.
KVP_API BOOL CloseHandle(HANDLE file);

// Deletes a file. Fails with ERROR_SHARING_VIOLATION while any handle (in any
// process) has it open, as on Windows; a folder gives ERROR_ACCESS_DENIED.
KVP_API BOOL DeleteFileA(const char* name);

// Renames `from` to `to`; fails when `to` exists (ERROR_ALREADY_EXISTS) or
// while `from` is open (ERROR_SHARING_VIOLATION).
KVP_API BOOL MoveFileA(const char* from, const char* to);

// FILE_ATTRIBUTE_NORMAL (or 0x10 for a directory) when the path exists,
// INVALID_FILE_ATTRIBUTES otherwise.
KVP_API DWORD GetFileAttributesA(const char* name);

// Writes the system's directory for temporary files ($TMPDIR, else "/tmp/"),
// with a trailing '/'; returns its length, or the size needed (NUL included)
// when the buffer is too small.
KVP_API DWORD GetTempPathA(DWORD size, char* buffer);

// Error-mode switch for critical-error boxes; there are none here, so this
// only remembers and returns the previous mode.
KVP_API UINT SetErrorMode(UINT mode);

// Raises the process's limit of open files (the soft RLIMIT_NOFILE, up to
// the hard one) to at least `count`; returns the number now allowed.
KVP_API UINT SetHandleCount(UINT count);

}  // namespace kvp
