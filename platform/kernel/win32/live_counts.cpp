#include "platform/kernel/win32/live_counts.h"

#include "platform/kernel/win32/process_memory.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp::detail {

namespace {

struct SharedCounts {
  volatile LONG counts[2];
};

SharedCounts* Counts() {
  static SharedCounts* const shared = [] {
    void* view = ProcessSharedMemory("live-counts", sizeof(SharedCounts));
    // Without shared memory this copy counts alone rather than not at all.
    static SharedCounts local{};
    return view == nullptr ? &local : static_cast<SharedCounts*>(view);
  }();
  return shared;
}

}  // namespace

void AddLive(LiveCount which, int delta) {
  ::InterlockedExchangeAdd(&Counts()->counts[static_cast<int>(which)], delta);
}

size_t LiveTotal(LiveCount which) {
  const LONG value = ::InterlockedCompareExchange(&Counts()->counts[static_cast<int>(which)], 0, 0);
  return static_cast<size_t>(value);
}

}  // namespace kvp::detail
