// Locating profile files: the Windows directory and case-insensitive file
// names.
#include "platform/kernel/profile_paths.h"

#include <dirent.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "platform/kernel/ascii.h"

namespace kvp::detail {

namespace {

std::optional<std::string> NonEmptyEnvironment(const char* name) {
  const char* value = ::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::string HomeDirectory() {
  if (auto home = NonEmptyEnvironment("HOME")) return *home;
  std::vector<char> scratch(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/tmp";
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Join(const std::string& directory, const std::string& name) {
  return directory == "/" ? "/" + name : directory + "/" + name;
}

}  // namespace

std::string WindowsDirectory() {
  if (auto configured = NonEmptyEnvironment("KV_WINDIR")) {
    return WithoutTrailingSlashes(*configured);
  }
  // The XDG base-directory rules ignore a relative value.
  auto config = NonEmptyEnvironment("XDG_CONFIG_HOME");
  if (config && config->front() == '/') return WithoutTrailingSlashes(*config) + "/kv";
  return WithoutTrailingSlashes(HomeDirectory()) + "/.config/kv";
}

ProfileLocation LocateProfile(const char* fileName) {
  ProfileLocation location;
  std::string name(fileName);
  std::string base;
  size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) {
    location.directory = WindowsDirectory();
    location.inWindowsDirectory = true;
    base = name;
  } else {
    location.directory = slash == 0 ? "/" : name.substr(0, slash);
    base = name.substr(slash + 1);
  }
  location.path = Join(location.directory, base);

  struct stat info {};
  if (base.empty() || ::stat(location.path.c_str(), &info) == 0) return location;

  DIR* folder = ::opendir(location.directory.c_str());
  if (folder == nullptr) return location;
  std::optional<std::string> best;
  while (const struct dirent* entry = ::readdir(folder)) {
    std::string candidate(entry->d_name);
    if (EqualsNoCase(candidate, base) && (!best || candidate < *best)) best = candidate;
  }
  ::closedir(folder);
  if (best) location.path = Join(location.directory, *best);
  return location;
}

}  // namespace kvp::detail
