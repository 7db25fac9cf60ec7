// Windows-style threads over std::thread (used by kvcomm: one listener
// thread per server, one service thread per client).
//
// A thread handle is a kernel object: it stays valid until CloseHandle
// (platform/kernel/files.h), whether or not the thread
// has ended; closing the handle of a running thread lets it run on (as on
// Windows) and frees its record when it ends. For failure injection a thread
// creation counts as an allocation (kvp::fault::Op::Alloc).
#pragma once
#include <stddef.h>

#include "platform/kernel/win_types.h"

namespace kvp {

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Starts `start(parameter)` on a new thread. `security` and `flags` are
// ignored (no suspended start), `stackSize` 0 takes the default. Returns the
// handle, or null with ERROR_NOT_ENOUGH_MEMORY when no thread can be made.
KVP_API HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start,
                            void* parameter, DWORD flags, DWORD* threadId);

// The thread's return value, or STILL_ACTIVE while it runs.
KVP_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Waits until the thread has ended or `milliseconds` have passed
// (INFINITE: no limit).
KVP_API DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);

KVP_API DWORD GetCurrentThreadId();
KVP_API void Sleep(DWORD milliseconds);

// Threads made by CreateThread that have not yet returned (for tests that
// check that nothing is left running).
KVP_API unsigned RunningThreadCount();

}  // namespace kvp
