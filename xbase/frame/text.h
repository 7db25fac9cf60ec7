// Small text helpers with the engine's byte semantics (no locale).
#pragma once
#include <cstddef>

namespace kv::xb {

inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Equality of two NUL-terminated texts without regard to ASCII case.
inline bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

// Length of a text stored in a fixed area: up to the first NUL or `limit`.
inline size_t BoundedLength(const char* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

}  // namespace kv::xb
