// Drive letters over directories, directory searches, the current
// directory and replacing renames.
#include "platform/kernel/drives.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/kernel/errno_map.h"
#include "platform/kernel/files.h"

namespace kvp {

namespace {

struct Drive {
  char letter = 0;
  UINT type = DRIVE_UNKNOWN;  // DRIVE_UNKNOWN: read from the file system
  std::string root;
};

UINT TypeFromName(const std::string& name) {
  if (name == "removable") return DRIVE_REMOVABLE;
  if (name == "fixed") return DRIVE_FIXED;
  if (name == "remote") return DRIVE_REMOTE;
  if (name == "cdrom") return DRIVE_CDROM;
  if (name == "ramdisk") return DRIVE_RAMDISK;
  return DRIVE_UNKNOWN;
}

// Magic numbers of statfs(2) for the kinds named above.
UINT TypeFromFileSystem(const std::string& root) {
  struct statfs info {};
  if (statfs(root.c_str(), &info) != 0) return DRIVE_UNKNOWN;
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:      // NFS
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x517B:      // SMB
    case 0x65735546:  // FUSE (sshfs and the like)
      return DRIVE_REMOTE;
    case 0x9660:      // ISO 9660
    case 0x15013346:  // UDF
      return DRIVE_CDROM;
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
      return DRIVE_RAMDISK;
    default:
      return DRIVE_FIXED;
  }
}

// The configured drives, read from the environment on every call so that a
// test may change them.
std::vector<Drive> Drives() {
  std::vector<Drive> drives;
  const char* setting = std::getenv("KV_DRIVES");
  if (setting == nullptr) {
    drives.push_back(Drive{'C', DRIVE_FIXED, "/"});
    return drives;
  }
  std::string text(setting);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    const size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(entry[0])));
    if (letter < 'A' || letter > 'Z') continue;
    Drive drive;
    drive.letter = letter;
    drive.root = entry.substr(equals + 1);
    if (equals > 2 && entry[1] == ':') drive.type = TypeFromName(entry.substr(2, equals - 2));
    drives.push_back(drive);
  }
  return drives;
}

const Drive* FindDrive(const std::vector<Drive>& drives, char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const Drive& drive : drives)
    if (drive.letter == letter) return &drive;
  return nullptr;
}

bool MapPath(const char* windowsPath, std::string& linuxPath) {
  std::string path(windowsPath != nullptr ? windowsPath : "");
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    const std::vector<Drive> drives = Drives();
    const Drive* drive = FindDrive(drives, path[0]);
    if (drive == nullptr) return false;
    std::string rest = path.substr(2);
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    linuxPath = drive->root;
    if (linuxPath.empty() || linuxPath.back() != '/') linuxPath += '/';
    linuxPath += rest;
    return true;
  }
  linuxPath = path;
  return true;
}

struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

std::mutex gSearchMutex;
std::vector<Search*> gSearches;  // open searches, so that a forged handle is refused

bool MatchesPattern(const std::string& pattern, const char* name) {
  if (pattern == "*.*" || pattern == "*") return true;
  // fnmatch would let '[' start a set; Windows patterns know only * and ?.
  std::string escaped;
  for (char c : pattern) {
    if (c == '[' || c == ']' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return fnmatch(escaped.c_str(), name, FNM_CASEFOLD) == 0;
}

}  // namespace

DWORD GetLogicalDrives() {
  DWORD mask = 0;
  for (const Drive& drive : Drives()) mask |= DWORD{1} << (drive.letter - 'A');
  return mask;
}

UINT GetDriveTypeA(const char* root) {
  if (root == nullptr || root[0] == '\0') return DRIVE_NO_ROOT_DIR;
  const std::vector<Drive> drives = Drives();
  const Drive* drive = FindDrive(drives, root[0]);
  if (drive == nullptr) return DRIVE_NO_ROOT_DIR;
  return drive->type != DRIVE_UNKNOWN ? drive->type : TypeFromFileSystem(drive->root);
}

DWORD MapWindowsPath(const char* windowsPath, char* buffer, DWORD size) {
  std::string path;
  if (!MapPath(windowsPath, path)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  if (buffer == nullptr || path.size() + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  std::string path;
  if (data == nullptr || !MapPath(pattern, path)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string namePattern = slash == std::string::npos ? path : path.substr(slash + 1);
  DIR* folder = opendir(directory.c_str());
  if (folder == nullptr) {
    detail::SetLastErrorForPath(errno, directory.c_str());
    return INVALID_HANDLE_VALUE;
  }
  Search* search = new (std::nothrow) Search;
  if (search == nullptr) {
    closedir(folder);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  while (const dirent* entry = readdir(folder)) {
    const size_t length = std::strlen(entry->d_name);
    if (length >= MAX_PATH_ || !MatchesPattern(namePattern, entry->d_name)) continue;
    struct stat info {};
    const std::string full = directory + entry->d_name;
    if (stat(full.c_str(), &info) != 0 && lstat(full.c_str(), &info) != 0) continue;
    WIN32_FIND_DATAA found{};
    found.dwFileAttributes =
        S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    const uint64_t bytes = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    found.nFileSizeHigh = static_cast<DWORD>(bytes >> 32);
    found.nFileSizeLow = static_cast<DWORD>(bytes);
    std::memcpy(found.cFileName, entry->d_name, length + 1);
    search->entries.push_back(found);
  }
  closedir(folder);
  if (search->entries.empty()) {
    delete search;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = search->entries[0];
  search->next = 1;
  std::lock_guard<std::mutex> lock(gSearchMutex);
  gSearches.push_back(search);
  return search;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  std::lock_guard<std::mutex> lock(gSearchMutex);
  for (Search* search : gSearches) {
    if (search != handle) continue;
    if (data == nullptr || search->next >= search->entries.size()) {
      SetLastError(18);  // ERROR_NO_MORE_FILES
      return FALSE_;
    }
    *data = search->entries[search->next++];
    return TRUE_;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE_;
}

BOOL FindClose(HANDLE handle) {
  std::lock_guard<std::mutex> lock(gSearchMutex);
  for (size_t i = 0; i < gSearches.size(); ++i) {
    if (gSearches[i] != handle) continue;
    delete gSearches[i];
    gSearches.erase(gSearches.begin() + static_cast<long>(i));
    return TRUE_;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE_;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  std::vector<char> path(4096);
  while (getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE || path.size() > (1u << 20)) {
      detail::SetLastErrorFromErrno(errno);
      return 0;
    }
    path.resize(path.size() * 2);
  }
  const size_t length = std::strlen(path.data());
  if (buffer == nullptr || length + 1 > size) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, path.data(), length + 1);
  return static_cast<DWORD>(length);
}

BOOL MoveFileExA(const char* from, const char* to, DWORD flags) {
  if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return MoveFileA(from, to);
  if (from == nullptr || to == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  if (std::rename(from, to) != 0) {
    detail::SetLastErrorForPath(errno, from);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace kvp
