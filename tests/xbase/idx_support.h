// Helpers of the IDX tests: file bytes, keys in the IDX forms, walks of an
// open index through the exported calls.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/index_check/idx_invariants.h"
#include "kv/xbase.h"

namespace kvtest {

// The invariant checker lives with the host's index tools; the tests name it
// as their own.
using kvcheck::CheckIdxFile;
using kvcheck::IdxCheckOptions;
using kvcheck::IdxCheckResult;
using kvcheck::IdxEntry;

inline std::vector<uint8_t> IdxBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}
inline void IdxWriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}
inline uint32_t IdxLe32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
inline uint16_t IdxLe16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline void IdxPutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void IdxPutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// The 8-byte IDX key of a number, written independently of the engine:
// big-endian double, sign bit set for positives, all bits inverted for
// negatives.
inline std::string IdxNumber(double d) {
  uint64_t bits = 0;
  std::memcpy(&bits, &d, 8);
  if (bits >> 63) {
    bits = ~bits;
  } else {
    bits |= uint64_t{1} << 63;
  }
  std::string k(8, '\0');
  for (int i = 0; i < 8; ++i) k[i] = static_cast<char>(bits >> (8 * (7 - i)));
  return k;
}

inline std::string IdxPadded(const std::string& s, size_t L, char pad = ' ') {
  std::string k = s.substr(0, L);
  k.resize(L, pad);
  return k;
}

// Walks with top/next (or bottom/prev); keys as L bytes.
inline std::vector<IdxEntry> IdxWalk(XBHANDLE h, size_t L, bool forward, XBSTATUS* last) {
  std::vector<IdxEntry> out;
  std::vector<char> key(L + 1);
  uint32_t r = 0;
  XBSTATUS s = forward ? XBDIKTOP(h, key.data(), &r) : XBDIKBOT(h, key.data(), &r);
  while (s == 0) {
    out.push_back({std::string(key.data(), L), r});
    if (out.size() > 10000000) break;
    s = forward ? XBDIKNEXT(h, key.data(), &r) : XBDIKPREV(h, key.data(), &r);
  }
  *last = s;
  return out;
}

}  // namespace kvtest
