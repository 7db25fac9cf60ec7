// Moveable global memory (used by every library and the host).
//
// A process-wide table of blocks behind 32-bit handles (never 0; a freed
// number is not handed out again before the counter has gone round, so a
// stale handle is refused). Lock returns the block's address and counts; a
// locked block keeps its address unless its owner resizes it with
// GMEM_MOVEABLE (see GlobalReAlloc), so "handle from address" works for every
// address a lock returned, interior addresses included. Every block, fixed
// or moveable, has a table handle. Thread-safe: kvcomm allocates from
// several threads.
#pragma once
#include <cstddef>

#include "platform/kernel/win_types.h"

namespace kvp {

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_MODIFY = 0x0080;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GMEM_INVALID_HANDLE = 0x8000;
inline constexpr UINT GMEM_LOCKCOUNT = 0x00FF;

// Allocates a block of `bytes` (zero-filled with GMEM_ZEROINIT); 0 on failure
// (ERROR_NOT_ENOUGH_MEMORY). A block of 0 bytes is a valid block with an
// address of its own.
KVP_API HGLOBAL GlobalAlloc(UINT flags, size_t bytes);

// Resizes a block; with GMEM_ZEROINIT the added bytes are zero. Returns the
// handle (unchanged) or 0 on failure, leaving the block as it was. An
// unlocked block may move. A locked block is resized in place when it can
// be; otherwise it moves only with GMEM_MOVEABLE in `flags` (its earlier lock
// addresses are then stale, its lock count stays), and without that flag the
// call fails with ERROR_NOT_ENOUGH_MEMORY, as on Windows. With GMEM_MODIFY
// only the block's GMEM_MOVEABLE attribute changes.
KVP_API HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, UINT flags);

// Locks the block and returns its address (null for an invalid handle).
KVP_API void* GlobalLock(HGLOBAL block);

// Decrements the lock count; returns TRUE while the block stays locked.
// FALSE with last error 0 when the count reached 0, FALSE with
// ERROR_NOT_LOCKED when it was not locked.
KVP_API BOOL GlobalUnlock(HGLOBAL block);

// Handle of the block holding `address` (any address inside a live block);
// 0 when no block holds it.
KVP_API HGLOBAL GlobalHandle(const void* address);

// Frees the block, locked or not; returns 0 on success, the handle on
// failure (ERROR_INVALID_HANDLE).
KVP_API HGLOBAL GlobalFree(HGLOBAL block);

// Low byte: lock count; GMEM_INVALID_HANDLE for a handle that is not live.
KVP_API UINT GlobalFlags(HGLOBAL block);

// Size in bytes, 0 for an invalid handle.
KVP_API size_t GlobalSize(HGLOBAL block);

// Number of live blocks: tests assert that a library freed what it allocated.
KVP_API size_t GlobalLiveBlocks();

}  // namespace kvp
