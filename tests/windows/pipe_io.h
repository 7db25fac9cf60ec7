// <windows.h> for the lock tests, and whole reads and writes on a pipe
// between the tests and their peer process (a pipe may move fewer bytes
// than asked in one call).
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kvtest {

inline bool ReadPipe(HANDLE from, void* data, DWORD size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD n = 0;
    if (!ReadFile(from, p, size, &n, nullptr) || n == 0) return false;
    p += n;
    size -= n;
  }
  return true;
}

inline bool WritePipe(HANDLE to, const void* data, DWORD size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD n = 0;
    if (!WriteFile(to, p, size, &n, nullptr) || n == 0) return false;
    p += n;
    size -= n;
  }
  return true;
}

}  // namespace kvtest
