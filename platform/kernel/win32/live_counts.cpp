#include "platform/kernel/win32/live_counts.h"

#include <cstdio>
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp::detail {

namespace {

struct SharedCounts {
  volatile LONG counts[2];
};

SharedCounts* Counts() {
  static SharedCounts* const shared = [] {
    char name[64];
    std::snprintf(name, sizeof name, "Local\\kvp-live-counts-%lu",
                  static_cast<unsigned long>(::GetCurrentProcessId()));
    // Never closed: the counts serve until the process ends. The system
    // zero-fills the memory for the first copy that creates it.
    ::HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(SharedCounts), name);
    void* view = mapping == nullptr
                     ? nullptr
                     : ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedCounts));
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
