#include "platform/ui/win32/shared_ui.h"

#include "platform/kernel/win32/process_memory.h"
#include "platform/ui/win32/user32.h"

namespace kvp::win32 {

namespace {

SharedUi* State() {
  static SharedUi* const shared = [] {
    void* view = detail::ProcessSharedMemory("ui-state", sizeof(SharedUi));
    // Without shared memory this copy keeps the state alone.
    static SharedUi local{};
    return view == nullptr ? &local : static_cast<SharedUi*>(view);
  }();
  return shared;
}

}  // namespace

// A spin lock: the critical sections are a few stores long, and a kernel
// mutex would need a handle in every copy.
SharedUiLock::SharedUiLock() : state_(State()) {
  while (__sync_val_compare_and_swap(&state_->lock, 0, 1) != 0) Sleep(0);
}

SharedUiLock::~SharedUiLock() {
  __sync_lock_release(&state_->lock);
}

void RememberHandle(void* (&table)[kSharedHandles], void* handle, BOOL (*alive)(void*)) {
  void** free = nullptr;
  for (void*& each : table) {
    if (each == handle) return;
    if (free == nullptr && (each == nullptr || !alive(each))) free = &each;
  }
  if (free != nullptr) *free = handle;
}

size_t CountAlive(void* (&table)[kSharedHandles], BOOL (*alive)(void*)) {
  size_t count = 0;
  for (void*& each : table) {
    if (each == nullptr) continue;
    if (alive(each)) {
      ++count;
    } else {
      each = nullptr;
    }
  }
  return count;
}

}  // namespace kvp::win32
