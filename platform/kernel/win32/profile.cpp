// Profile files: the system's own calls, whose semantics the POSIX layer
// copies. A bare file name is looked up in the Windows directory by the
// system itself.
#include "platform/kernel/profile.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                           const char* fileName) {
  return ::GetPrivateProfileIntA(section, key, defaultValue, fileName);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  return ::WritePrivateProfileStringA(section, key, value, fileName);
}

DWORD GetProfileStringA(const char* section, const char* key, const char* defaultValue,
                        char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  return ::GetProfileStringA(section, key, defaultValue, buffer, size);
}

UINT GetProfileIntA(const char* section, const char* key, int defaultValue) {
  return ::GetProfileIntA(section, key, defaultValue);
}

BOOL WriteProfileStringA(const char* section, const char* key, const char* value) {
  return ::WriteProfileStringA(section, key, value);
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

}  // namespace kvp
