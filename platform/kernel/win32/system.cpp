// Process identity, local time and modules: the system's own calls. A
// module name is already a Windows one, so MapModuleName only copies it.
#include "platform/kernel/system.h"

#include <cstring>

// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {

void GetLocalTime(SYSTEMTIME* time) {
  ::SYSTEMTIME now;
  ::GetLocalTime(&now);
  time->wYear = now.wYear;
  time->wMonth = now.wMonth;
  time->wDayOfWeek = now.wDayOfWeek;
  time->wDay = now.wDay;
  time->wHour = now.wHour;
  time->wMinute = now.wMinute;
  time->wSecond = now.wSecond;
  time->wMilliseconds = now.wMilliseconds;
}

DWORD GetCurrentProcessId() {
  return ::GetCurrentProcessId();
}

HMODULE LoadLibraryA(const char* name) {
  return reinterpret_cast<HMODULE>(::LoadLibraryA(name));
}

BOOL SetDllDirectoryA(const char* directory) {
  return ::SetDllDirectoryA(directory);
}

void* GetProcAddress(HMODULE module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<::HMODULE>(module), name));
}

BOOL FreeLibrary(HMODULE module) {
  return ::FreeLibrary(static_cast<::HMODULE>(module));
}

HMODULE GetModuleHandleA(const char* name) {
  return reinterpret_cast<HMODULE>(::GetModuleHandleA(name));
}

DWORD MapModuleName(const char* windowsName, char* buffer, DWORD size) {
  const size_t length = std::strlen(windowsName);
  if (buffer == nullptr || length + 1 > size) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, windowsName, length + 1);
  return static_cast<DWORD>(length);
}

// Windows has no fork: no handler ever runs, and there is nothing to stop.
BOOL CallInForkedChild(void (*handler)()) {
  return handler != nullptr ? TRUE_ : FALSE_;
}

void StopCallingInForkedChild(void (*)()) {}

}  // namespace kvp
