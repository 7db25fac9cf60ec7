// Test programs of the Windows build: the POSIX calls of the shared tests
// that the target's C library lacks (mkdtemp, setenv, unsetenv), made of the
// calls it has. Included ahead of every source of those programs.
#pragma once
#include <direct.h>
#include <io.h>

#include <cstdlib>
#include <cstring>

inline char* mkdtemp(char* pattern) {
  // _mktemp_s replaces the trailing Xs; a name taken in between fails the
  // directory's creation, and a fresh name is tried.
  const size_t length = std::strlen(pattern) + 1;
  char* copy = static_cast<char*>(std::malloc(length));
  if (copy == nullptr) return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::memcpy(copy, pattern, length);
    if (_mktemp_s(copy, length) != 0) break;
    if (_mkdir(copy) == 0) {
      std::memcpy(pattern, copy, length);
      std::free(copy);
      return pattern;
    }
  }
  std::free(copy);
  return nullptr;
}

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable.
inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;
}
