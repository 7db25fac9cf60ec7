// Helpers of the NTX tests: keys as strings, the engine's view of an open
// index, walks through the exported calls, and the file's bytes.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/index_check/ntx_invariants.h"
#include "kv/xbase.h"

namespace kvtest {

// The invariant checker lives with the host's index tools; the tests name it
// as their own.
using kvcheck::CheckNtxFile;
using kvcheck::NtxCheckOptions;
using kvcheck::NtxCheckResult;
using kvcheck::NtxEntry;

inline std::string NtxPadded(const std::string& s, size_t L) {
  std::string k = s.substr(0, L);
  k.resize(L, ' ');
  return k;
}

// Walks the index with top/next; keys as their L bytes.
inline std::vector<NtxEntry> NtxWalkForward(XBHANDLE h, size_t L, XBSTATUS* last,
                                            size_t limit = 1000000) {
  std::vector<NtxEntry> out;
  std::vector<char> key(L + 1);
  uint32_t r = 0;
  XBSTATUS s = XBDCKTOP(h, key.data(), &r);
  while (s == 0 && out.size() < limit) {
    out.push_back({std::string(key.data(), L), r});
    s = XBDCKNEXT(h, key.data(), &r);
  }
  *last = s;
  return out;
}

inline std::vector<NtxEntry> NtxWalkBackward(XBHANDLE h, size_t L, XBSTATUS* last,
                                             size_t limit = 1000000) {
  std::vector<NtxEntry> out;
  std::vector<char> key(L + 1);
  uint32_t r = 0;
  XBSTATUS s = XBDCKBOT(h, key.data(), &r);
  while (s == 0 && out.size() < limit) {
    out.push_back({std::string(key.data(), L), r});
    s = XBDCKPREV(h, key.data(), &r);
  }
  *last = s;
  return out;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
         uint32_t{b.at(at + 3)} << 24;
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace kvtest
