// Failure injection for tests.
//
// The file layer and the allocator ask here before each operation whether it
// should fail; a test arms the n-th next call of a kind to fail with a chosen
// Windows error. Unarmed, the check is one relaxed atomic load: calls are
// counted only once a test has called Arm or Reset, which a program never
// does. Thread-safe.
//
// The operations asked about (a call rejected earlier for a bad argument or
// handle is not counted):
//   Read      ReadFile, ReadMappedView
//   Write     WriteFile
//   Create    CreateFileA with CREATE_NEW, CREATE_ALWAYS or OPEN_ALWAYS
//   Open      CreateFileA with OPEN_EXISTING or TRUNCATE_EXISTING
//   Rename    MoveFileA
//   Erase     DeleteFileA
//   Lock      LockFile (UnlockFile is never failed)
//   Truncate  SetEndOfFile
//   Alloc     GlobalAlloc, GlobalReAlloc (not GMEM_MODIFY), CreateThread
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp::fault {

enum class Op : int { Read, Write, Create, Open, Rename, Erase, Lock, Truncate, Alloc, Count };

// The `nth` call of `op` from now (1 = the next) fails with `error`. With
// `sticky`, every call from the nth on fails until Reset. One failure is
// armed per kind: arming again replaces it; `nth` 0 disarms the kind.
KVP_API void Arm(Op op, unsigned nth, DWORD error, bool sticky = false);

// Forgets every armed failure, zeroes the call counters and starts counting.
KVP_API void Reset();

// Calls of `op` seen since the last Reset (whether or not they failed).
// Counting starts with the first Reset or Arm, so call Reset first.
KVP_API unsigned Calls(Op op);

// Used by the layer itself: true when this call must fail; sets the last
// error to the armed error.
KVP_API bool ShouldFail(Op op);

}  // namespace kvp::fault
