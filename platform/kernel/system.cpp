// Process identity and local time.
#include "platform/kernel/system.h"

#include <time.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace kvp {

void GetLocalTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  ::localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  // A leap second (tm_sec 60) is shown as 59, the range Windows uses.
  time->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

namespace {

// The engine looks its caller up by process identity at the start of every
// exported call; a system call each time would cost more than the call's own
// work. The identity is kept here and taken again in a forked child.
std::atomic<DWORD> cachedProcessId{0};

void ForgetProcessId() { cachedProcessId.store(0, std::memory_order_relaxed); }

}  // namespace

DWORD GetCurrentProcessId() {
  DWORD id = cachedProcessId.load(std::memory_order_relaxed);
  if (id == 0) {
    static const bool registered = [] {
      ::pthread_atfork(nullptr, nullptr, ForgetProcessId);
      return true;
    }();
    (void)registered;
    id = static_cast<DWORD>(::getpid());
    cachedProcessId.store(id, std::memory_order_relaxed);
  }
  return id;
}

namespace {

// The handlers as a fixed table of atomic pointers: the child reads it
// without a lock, since another thread may have held any lock at the fork.
constexpr int kForkHandlers = 16;
std::atomic<void (*)()> forkHandlers[kForkHandlers];

void RunForkHandlers() {
  for (auto& slot : forkHandlers) {
    if (void (*handler)() = slot.load(std::memory_order_acquire)) handler();
  }
}

}  // namespace

BOOL CallInForkedChild(void (*handler)()) {
  if (handler == nullptr) return FALSE_;
  static std::once_flag once;
  std::call_once(once, [] { ::pthread_atfork(nullptr, nullptr, RunForkHandlers); });
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  for (auto& slot : forkHandlers) {
    if (slot.load(std::memory_order_relaxed) == handler) return TRUE_;
  }
  for (auto& slot : forkHandlers) {
    void (*expected)() = nullptr;
    if (slot.compare_exchange_strong(expected, handler, std::memory_order_release)) return TRUE_;
  }
  return FALSE_;
}

void StopCallingInForkedChild(void (*handler)()) {
  if (handler == nullptr) return;
  for (auto& slot : forkHandlers) {
    void (*expected)() = handler;
    slot.compare_exchange_strong(expected, nullptr, std::memory_order_release);
  }
}

}  // namespace kvp
