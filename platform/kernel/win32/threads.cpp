// Threads: the system's own. The layer's start routines use the default
// calling convention, so each thread starts in a small trampoline that calls
// the routine and counts the threads still running.
#include "platform/kernel/threads.h"

#include <atomic>
#include <new>

#include "platform/kernel/fault.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {
namespace {

std::atomic<unsigned> gRunning{0};

struct Start {
  LPTHREAD_START_ROUTINE routine;
  void* parameter;
};

::DWORD WINAPI Trampoline(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  const DWORD result = start.routine(start.parameter);
  gRunning.fetch_sub(1, std::memory_order_acq_rel);
  return result;
}

}  // namespace

HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD flags, DWORD* threadId) {
  if (fault::ShouldFail(fault::Op::Alloc)) return nullptr;
  auto* record = new (std::nothrow) Start{start, parameter};
  if (record == nullptr) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  gRunning.fetch_add(1, std::memory_order_acq_rel);
  ::DWORD id = 0;
  HANDLE thread = ::CreateThread(nullptr, stackSize, Trampoline, record, 0, &id);
  if (thread == nullptr) {
    gRunning.fetch_sub(1, std::memory_order_acq_rel);
    delete record;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = id;
  return thread;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  ::DWORD code = 0;
  const BOOL ok = ::GetExitCodeThread(thread, &code);
  if (ok && exitCode != nullptr) *exitCode = code;
  return ok;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
  return ::WaitForSingleObject(thread, milliseconds);
}

DWORD GetCurrentThreadId() {
  return ::GetCurrentThreadId();
}

void Sleep(DWORD milliseconds) {
  ::Sleep(milliseconds);
}

unsigned RunningThreadCount() {
  return gRunning.load(std::memory_order_acquire);
}

}  // namespace kvp
