#include "platform/kernel/win32/process_memory.h"

#include <cstdio>
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp::detail {

void* ProcessSharedMemory(const char* tag, size_t size) {
  char name[96];
  std::snprintf(name, sizeof name, "Local\\kvp-%s-%lu", tag,
                static_cast<unsigned long>(::GetCurrentProcessId()));
  ::HANDLE mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), name);
  if (mapping == nullptr) return nullptr;
  return ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
}

}  // namespace kvp::detail
