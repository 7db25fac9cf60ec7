// Profile files: the system's own calls, whose semantics the POSIX layer
// copies. A bare file name is looked up in the Windows directory by the
// system itself, unless KV_WINDIR names another one, as on POSIX: tests run
// side by side, each with a profile directory of its own (a host never
// sets it).
#include "platform/kernel/profile.h"

#include <cstdlib>
#include <cstring>
#include <string>
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {
namespace {

const char* WindowsDirectoryOverride() {
  const char* dir = std::getenv("KV_WINDIR");
  return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

// The file a profile call reads or writes: a bare name (no folder, no drive)
// in the KV_WINDIR directory when that is set, else the name as given.
class ProfileFile {
 public:
  explicit ProfileFile(const char* name) : given_(name) {
    const char* dir = WindowsDirectoryOverride();
    if (dir != nullptr && name != nullptr && std::strpbrk(name, "\\/:") == nullptr) {
      path_ = std::string(dir) + "\\" + name;
    }
  }
  const char* get() const { return path_.empty() ? given_ : path_.c_str(); }

 private:
  const char* given_;
  std::string path_;
};

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size,
                                    ProfileFile(fileName).get());
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                           const char* fileName) {
  return ::GetPrivateProfileIntA(section, key, defaultValue, ProfileFile(fileName).get());
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  return ::WritePrivateProfileStringA(section, key, value, ProfileFile(fileName).get());
}

DWORD GetProfileStringA(const char* section, const char* key, const char* defaultValue,
                        char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  if (WindowsDirectoryOverride() != nullptr) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, "win.ini");
  }
  return ::GetProfileStringA(section, key, defaultValue, buffer, size);
}

UINT GetProfileIntA(const char* section, const char* key, int defaultValue) {
  if (WindowsDirectoryOverride() != nullptr) {
    return GetPrivateProfileIntA(section, key, defaultValue, "win.ini");
  }
  return ::GetProfileIntA(section, key, defaultValue);
}

BOOL WriteProfileStringA(const char* section, const char* key, const char* value) {
  if (WindowsDirectoryOverride() != nullptr) {
    return WritePrivateProfileStringA(section, key, value, "win.ini");
  }
  return ::WriteProfileStringA(section, key, value);
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  if (const char* dir = WindowsDirectoryOverride()) {
    const size_t length = std::strlen(dir);
    if (buffer == nullptr || length + 1 > size) return static_cast<UINT>(length + 1);
    std::memcpy(buffer, dir, length + 1);
    return static_cast<UINT>(length);
  }
  return ::GetWindowsDirectoryA(buffer, size);
}

}  // namespace kvp
