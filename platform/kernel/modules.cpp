// Loading modules: Windows module names mapped to Linux shared libraries and
// opened with dlopen.
#include <dlfcn.h>
#include <stdlib.h>

#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/kernel/ascii.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"

namespace kvp {

namespace {

// Modules whose Linux library is not simply "lib" + stem + ".so".
struct KnownModule {
  const char* windowsName;
  const char* linuxName;
};
constexpr KnownModule kKnownModules[] = {
    {"odbc32.dll", "libodbc.so.2"},  // unixODBC's driver manager
    {"odbccp32.dll", "libodbcinst.so.2"},  // and its configuration library
    {"mapi32.dll", "libkvmapi.so"},  // our Simple MAPI provider
};

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         detail::EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// A name that already is a Linux library ("libx.so", "libx.so.2").
bool IsLinuxLibraryName(std::string_view base) {
  return EndsWithNoCase(base, ".so") || base.find(".so.") != std::string_view::npos;
}

// KV_MODULE_ + the base name upper-cased, every character other than a
// letter or digit as '_' ("odbc32.dll" -> KV_MODULE_ODBC32_DLL). A name
// without extension is the ".dll" one, as Windows reads it.
std::string OverrideVariable(std::string_view base) {
  std::string variable = "KV_MODULE_";
  for (char c : base) {
    const bool alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    variable += alphanumeric ? detail::UpperAscii(c) : '_';
  }
  if (base.find('.') == std::string_view::npos) variable += "_DLL";
  return variable;
}

std::string MapName(std::string_view windowsName) {
  // A Windows path ("C:\dir\x.dll") keeps only its file name; a Linux folder
  // ("/opt/kv/kvhost.dll") is kept in front of the mapped name.
  size_t backslash = windowsName.find_last_of("\\:");
  if (backslash != std::string_view::npos) windowsName.remove_prefix(backslash + 1);
  std::string folder;
  size_t slash = windowsName.find_last_of('/');
  if (slash != std::string_view::npos) {
    folder = std::string(windowsName.substr(0, slash + 1));
    windowsName.remove_prefix(slash + 1);
  }
  const std::string_view base = windowsName;

  if (const char* configured = ::getenv(OverrideVariable(base).c_str());
      configured != nullptr && *configured != '\0') {
    return configured;
  }
  if (IsLinuxLibraryName(base)) return folder + std::string(base);
  for (const KnownModule& known : kKnownModules) {
    if (detail::EqualsNoCase(base, known.windowsName)) return folder + known.linuxName;
  }
  // Windows adds ".dll" to a name without extension, so "kvhost" and
  // "kvhost.DLL" are the same module.
  std::string_view stem = base;
  if (EndsWithNoCase(stem, ".dll")) stem.remove_suffix(4);
  std::string mapped = folder + "lib";
  for (char c : stem) mapped += detail::LowerAscii(c);
  return mapped + ".so";
}

}  // namespace

DWORD MapModuleName(const char* windowsName, char* buffer, DWORD size) {
  if (windowsName == nullptr || *windowsName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string mapped = MapName(windowsName);
  if (buffer == nullptr || size <= mapped.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, mapped.c_str(), mapped.size() + 1);
  return static_cast<DWORD>(mapped.size());
}

namespace {

std::mutex& DirectoryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& DllDirectory() {
  static std::string directory;
  return directory;
}

// The directory this library was loaded from: the libraries are installed
// side by side, as a Windows application keeps its DLLs beside it.
std::string OwnDirectory() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&MapModuleName), &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

#ifndef KV_LIBRARY_SOVERSION
#error "KV_LIBRARY_SOVERSION: the major version in our libraries' runtime names"
#endif

// Our libraries carry their major version in the runtime name
// ("libkvxbase.so.1"); only a development install has the link without it
// that the map names, so the runtime name is tried after it.
std::string RuntimeName(const std::string& mapped) {
  const size_t slash = mapped.rfind('/');
  const std::string_view base =
      std::string_view(mapped).substr(slash == std::string::npos ? 0 : slash + 1);
  if (!base.starts_with("libkv") || !base.ends_with(".so")) return {};
  return mapped + "." KV_LIBRARY_SOVERSION;
}

}  // namespace

BOOL SetDllDirectoryA(const char* directory) {
  std::lock_guard<std::mutex> guard(DirectoryMutex());
  DllDirectory() = directory == nullptr ? "" : directory;
  return TRUE_;
}

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string mapped = MapName(name);
  const std::string names[] = {mapped, RuntimeName(mapped)};
  // A bare name is looked up as Windows does for an application: first in
  // the directory set with SetDllDirectoryA, then beside the platform
  // library, then along the system's search path. (Looking it up only along
  // the search path would depend on which object calls dlopen: under the
  // sanitizers that is their runtime, which has no run path of ours.)
  if (mapped.find('/') == std::string::npos) {
    std::string directory;
    {
      std::lock_guard<std::mutex> guard(DirectoryMutex());
      directory = DllDirectory();
    }
    for (const std::string& dir : {directory, OwnDirectory()}) {
      if (dir.empty()) continue;
      for (const std::string& file : names) {
        if (file.empty()) continue;
        const std::string candidate = dir + "/" + file;
        if (GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
      }
    }
  }
  for (const std::string& file : names) {
    if (file.empty()) continue;
    if (void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE GetModuleHandleA(const char* name) {
  // Null: the program itself.
  void* module = nullptr;
  if (name == nullptr) {
    module = ::dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
  } else {
    const std::string mapped = MapName(name);
    for (const std::string& file : {mapped, RuntimeName(mapped)}) {
      if (!file.empty() && (module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD))) break;
    }
  }
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Windows takes no reference here; the module stays loaded by whoever
  // loaded it, so the handle remains valid.
  ::dlclose(module);
  return module;
}

void* GetProcAddress(HMODULE module, const char* name) {
  // Names below 0x10000 are ordinals on Windows; there are none here.
  if (module == nullptr || reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(module == nullptr ? ERROR_INVALID_HANDLE : ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  ::dlerror();
  void* address = ::dlsym(module, name);
  if (address == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return address;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || ::dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace kvp
