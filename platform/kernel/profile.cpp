// Profile (INI) files: the Windows profile functions over IniDocument.
#include "platform/kernel/profile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/eintr.h"
#include "platform/kernel/errno_map.h"
#include "platform/kernel/ini_document.h"
#include "platform/kernel/profile_paths.h"

namespace kvp {

using detail::IniDocument;
using detail::RetryOnEintr;

namespace {

// The system profile, in the Windows directory.
constexpr const char* kSystemProfile = "win.ini";

const char* ProfileName(const char* fileName) {
  return fileName != nullptr ? fileName : kSystemProfile;
}

// A profile that is missing or cannot be read reads as empty, as on Windows.
IniDocument ReadProfile(const char* fileName) {
  IniDocument document;
  document.Load(detail::LocateProfile(ProfileName(fileName)).path);
  return document;
}

// Copies `text` cut to size - 1 characters and NUL-terminated.
DWORD CopyCut(std::string_view text, char* buffer, DWORD size) {
  const size_t length = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}

// Copies names one after the other, each NUL-terminated, with one more NUL
// at the end. When they do not fit, the last one is cut, the buffer still
// ends with two NULs and the result is size - 2, as Windows does.
DWORD CopyList(const std::vector<std::string>& names, char* buffer, DWORD size) {
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  size_t position = 0;
  for (const std::string& name : names) {
    if (position + name.size() + 1 > size - 1) {
      // The name and the final NUL do not both fit: cut the name (the
      // previous ones may fill the buffer already).
      if (position < size - 2) std::memcpy(buffer + position, name.data(), size - 2 - position);
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + position, name.data(), name.size());
    position += name.size();
    buffer[position++] = '\0';
  }
  buffer[position] = '\0';
  if (position == 0) buffer[1] = '\0';
  return static_cast<DWORD>(position);
}

// Reads an integer as Windows does: an optional sign, then "0x" and hex
// digits or decimal digits, up to the first other character; no digits give
// 0. Values beyond 32 bits wrap.
UINT ParseProfileInt(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    for (i += 2; i < text.size(); ++i) {
      const char c = text[i];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) break;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
  } else {
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
  }
  return negative ? 0u - value : value;
}

// Creates `directory` and its missing parents.
int MakeDirectories(const std::string& directory) {
  for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
    const std::string prefix = directory.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) return 0;
  }
}

// Replaces the file's contents by way of a temporary file in the same
// folder and a rename, so that a reader never sees half a profile and a
// failed write leaves the old one whole. A symbolic link is written
// through, not replaced.
int ReplaceFile(const std::string& path, const std::string& text) {
  std::string target = path;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
  }
  mode_t mode = 0644;
  if (::stat(target.c_str(), &info) == 0) mode = info.st_mode & 07777;

  std::string temporary = target + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  for (size_t written = 0; written < text.size() && error == 0;) {
    ssize_t put =
        RetryOnEintr([&] { return ::write(fd, text.data() + written, text.size() - written); });
    if (put < 0) error = errno;
    if (put > 0) written += static_cast<size_t>(put);
  }
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && RetryOnEintr([&] { return ::fsync(fd); }) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

bool HasLineBreak(const char* text) {
  return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  IniDocument document = ReadProfile(fileName);
  if (section == nullptr) return CopyList(document.Sections(), buffer, size);
  if (key == nullptr) return CopyList(document.Keys(section), buffer, size);
  if (auto value = document.Find(section, key)) return CopyCut(*value, buffer, size);
  // Windows drops trailing blanks of the default.
  std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
  while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) {
    fallback.remove_suffix(1);
  }
  return CopyCut(fallback, buffer, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                           const char* fileName) {
  if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
  auto value = ReadProfile(fileName).Find(section, key);
  if (!value || value->empty()) return static_cast<UINT>(defaultValue);
  return ParseProfileInt(*value);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  if (section == nullptr) {
    // With every argument null Windows only flushes its cache; there is none.
    if (key == nullptr && value == nullptr) return TRUE_;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  const char* name = ProfileName(fileName);
  const size_t nameLength = std::strlen(name);
  // A line break inside a name or value would forge lines of the file; a
  // ']' would end the section name early and '=' the key.
  if (nameLength == 0 || name[nameLength - 1] == '/' || HasLineBreak(section) ||
      std::strchr(section, ']') != nullptr || HasLineBreak(key) ||
      (key != nullptr && std::strchr(key, '=') != nullptr) || HasLineBreak(value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }

  detail::ProfileLocation location = detail::LocateProfile(name);
  IniDocument document;
  const int loadError = document.Load(location.path);
  if (loadError != 0 && loadError != ENOENT) {
    detail::SetLastErrorFromErrno(loadError);
    return FALSE_;
  }
  bool changed = true;
  if (key == nullptr) {
    changed = document.RemoveSection(section);
  } else if (value == nullptr) {
    changed = document.RemoveKey(section, key);
  } else {
    document.Set(section, key, value);
  }
  if (!changed) return TRUE_;  // nothing to remove: the file stays as it is (or absent)

  if (location.inWindowsDirectory) {
    if (int error = MakeDirectories(location.directory)) {
      detail::SetLastErrorFromErrno(error);
      return FALSE_;
    }
  }
  if (int error = ReplaceFile(location.path, document.Serialize())) {
    detail::SetLastErrorForPath(error, location.path.c_str());
    return FALSE_;
  }
  return TRUE_;
}

DWORD GetProfileStringA(const char* section, const char* key, const char* defaultValue,
                        char* buffer, DWORD size) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, kSystemProfile);
}

UINT GetProfileIntA(const char* section, const char* key, int defaultValue) {
  return GetPrivateProfileIntA(section, key, defaultValue, kSystemProfile);
}

BOOL WriteProfileStringA(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, kSystemProfile);
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  const std::string directory = detail::WindowsDirectory();
  // Too small a buffer: the size needed, the NUL included, as on Windows.
  if (buffer == nullptr || size <= directory.size()) return static_cast<UINT>(directory.size() + 1);
  std::memcpy(buffer, directory.c_str(), directory.size() + 1);
  return static_cast<UINT>(directory.size());
}

}  // namespace kvp
