// Read-only file mappings (used by kvxbase to read records without a system
// call each).
//
// The calls keep the shape of the Windows ones: a mapping object is made from
// an open file handle and closed with CloseHandle; views are mapped from it
// and unmapped by their base address. A mapping keeps its file open, so the
// file handle may be closed first. Views are MAP_SHARED, so they see every
// write made to the file through the page cache, by this process or another,
// at once.
//
// Unlike Windows, another process may cut the file short under a view: the
// pages beyond the new end then fault (SIGBUS) and the tail of the last page
// reads as zeros. Mapped bytes must therefore be read with ReadMappedView,
// which turns both cases into a clean failure instead of a crash or made-up
// bytes.
#pragma once
#include <cstddef>

#include "platform/kernel/win_types.h"

namespace kvp {

inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD FILE_MAP_READ = 0x0004;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_FILE_INVALID = 1006;

// Makes a read-only mapping object for `file` (opened with GENERIC_READ).
// `protect` must be PAGE_READONLY; a maximum size of 0 (both halves) means
// the file's size now. An empty file, or a maximum larger than the file,
// fails with ERROR_FILE_INVALID as a read-only mapping does on Windows.
// `security` and `name` are ignored (named mappings are not shared here).
// Returns null with the last error set on failure.
KVP_API HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD maximumSizeHigh,
                                  DWORD maximumSizeLow, const char* name);

// Maps `bytes` of `mapping` from the given offset (a multiple of 65536, the
// allocation granularity of Windows); `bytes` 0 maps up to the mapping's
// size. `access` must be FILE_MAP_READ. Returns null with the last error set
// on failure.
KVP_API void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                            size_t bytes);

// Unmaps the view that starts at `base` (ERROR_INVALID_ADDRESS for any other
// address).
KVP_API BOOL UnmapViewOfFile(const void* base);

// Copies `count` bytes from `source`, which must lie in one view, to
// `buffer`, as ReadFile would have read them from the file now. Fails with
// ERROR_HANDLE_EOF, leaving `buffer` undefined, when some of the bytes lie
// beyond the file's end (it was cut short after the view was made); the
// caller then reads the file itself. A copy that succeeded counts as a read
// for failure injection (fault::Op::Read) and may fail with the armed error.
KVP_API BOOL ReadMappedView(const void* source, void* buffer, size_t count);

inline constexpr DWORD ERROR_INVALID_ADDRESS = 487;

}  // namespace kvp
