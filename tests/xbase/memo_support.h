// Helpers of the memo tests: whole-file bytes, little/big-endian words of a
// byte string, and reads that hand back the text with its status.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "kv/xbase.h"

namespace kvtest::memo {

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t LE32(const std::string& b, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t LE16(const std::string& b, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t BE32(const std::string& b, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline void PutLE32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
inline void PutLE16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void PutBE32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

struct ReadResult {
  XBSTATUS status = 0;
  std::string text;
  bool returned = false;  // an address (or handle) was handed back
};

// Reads a .DBT memo; the engine block is freed here.
inline ReadResult ReadDbt(XBHANDLE h, uint32_t block, uint16_t mode = 0) {
  ReadResult r;
  char* text = reinterpret_cast<char*>(1);
  r.status = XBDTRGET(h, block, &text, mode);
  if (text != nullptr) {
    r.returned = true;
    r.text = text;
    XBMFREE(text);
  }
  return r;
}

inline ReadResult ReadFpt(XBHANDLE h, uint32_t block) {
  ReadResult r;
  char* text = reinterpret_cast<char*>(1);
  r.status = XBDWRGET(h, block, &text);
  if (text != nullptr) {
    r.returned = true;
    r.text = text;
    XBMFREE(text);
  }
  return r;
}

// A text of `n` bytes without NUL or 0x1A, reproducible from `seed`, with
// words, spaces and now and then a CR LF.
inline std::string Text(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) {
    const uint32_t r = rng() % 64;
    if (r < 8) {
      s[i] = ' ';
    } else if (r == 8 && i + 1 < n) {
      s[i] = '\r';
      s[++i] = '\n';
    } else {
      s[i] = static_cast<char>('a' + r % 26);
    }
  }
  return s;
}

}  // namespace kvtest::memo
