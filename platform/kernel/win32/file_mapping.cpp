// Read-only file mappings: the system's own. Windows keeps a mapped file
// from being cut short, so a view's bytes stay the file's bytes; the layer
// only remembers each view's extent, so that ReadMappedView refuses a copy
// that does not lie in one view as the POSIX layer does.
#include "platform/kernel/file_mapping.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/kernel/fault.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {
namespace {

struct ViewTable {
  std::mutex mutex;
  std::map<uintptr_t, size_t> lengths;  // by base address
};

ViewTable& Views() {
  static ViewTable* table = new ViewTable;  // outlives every static destructor
  return *table;
}

// True when [source, source + count) lies in one mapped view.
bool WithinOneView(const void* source, size_t count) {
  const auto address = reinterpret_cast<uintptr_t>(source);
  ViewTable& table = Views();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.lengths.upper_bound(address);
  if (it == table.lengths.begin()) return false;
  --it;
  const uintptr_t offset = address - it->first;
  return offset <= it->second && count <= it->second - offset;
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name) {
  if (protect != PAGE_READONLY) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Names are not shared here, as on POSIX: every mapping is private.
  return ::CreateFileMappingA(file, nullptr, PAGE_READONLY, maximumSizeHigh, maximumSizeLow,
                              nullptr);
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
  if (access != FILE_MAP_READ) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* base = ::MapViewOfFile(mapping, FILE_MAP_READ, offsetHigh, offsetLow, bytes);
  if (base == nullptr) return nullptr;
  MEMORY_BASIC_INFORMATION info{};
  size_t length = bytes;
  if (length == 0 && ::VirtualQuery(base, &info, sizeof info) != 0) length = info.RegionSize;
  // The region is rounded up to whole pages; the view's bytes end with the
  // mapping, which the caller made no longer than the file.
  ViewTable& table = Views();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.lengths[reinterpret_cast<uintptr_t>(base)] = length;
  return base;
}

BOOL UnmapViewOfFile(const void* base) {
  {
    ViewTable& table = Views();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.lengths.erase(reinterpret_cast<uintptr_t>(base)) == 0) {
      ::SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
  }
  return ::UnmapViewOfFile(base);
}

BOOL ReadMappedView(const void* source, void* buffer, size_t count) {
  if (source == nullptr || (buffer == nullptr && count != 0)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!WithinOneView(source, count)) {
    ::SetLastError(ERROR_HANDLE_EOF);
    return FALSE;
  }
  if (fault::ShouldFail(fault::Op::Read)) return FALSE;
  if (count != 0) std::memcpy(buffer, source, count);
  return TRUE;
}

}  // namespace kvp
