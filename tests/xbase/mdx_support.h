// Helpers of the MDX tests: key bytes, walks of a tag, and the expected
// order of a tag's entries.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/index_check/mdx_invariants.h"
#include "kv/xbase.h"

namespace kvtest {

// The invariant checker lives with the host's index tools; the tests name it
// as their own.
using kvcheck::CheckMdxFile;
using kvcheck::CompareMdxKeys;
using kvcheck::DecodeMdxNumber;
using kvcheck::MdxCheckOptions;
using kvcheck::MdxCheckResult;
using kvcheck::MdxEntry;
using kvcheck::MdxTagReport;

inline std::string MdxNumber(double d) {
  std::string k(12, '\0');
  XBDMKNUM(k.data(), d);
  return k;
}

inline std::string MdxDay(double day) {
  std::string k(8, '\0');
  uint64_t bits = 0;
  std::memcpy(&bits, &day, 8);
  for (int i = 0; i < 8; ++i) k[i] = static_cast<char>(bits >> (8 * i));
  return k;
}

inline std::string MdxPadded(const std::string& s, size_t L) {
  std::string k = s.substr(0, L);
  k.resize(L, ' ');
  return k;
}

// Walks a tag with top/next (or bottom/prev); keys as `keyBytes` bytes.
inline std::vector<MdxEntry> MdxWalk(XBTAGHANDLE tag, size_t keyBytes, bool forward,
                                     XBSTATUS* last) {
  std::vector<MdxEntry> out;
  std::vector<char> key(keyBytes + 1);
  uint32_t r = 0;
  XBSTATUS s = forward ? XBDMKTOP(tag, key.data(), &r) : XBDMKBOT(tag, key.data(), &r);
  while (s == 0) {
    out.push_back({std::string(key.data(), keyBytes), r});
    s = forward ? XBDMKNEXT(tag, key.data(), &r) : XBDMKPREV(tag, key.data(), &r);
  }
  *last = s;
  return out;
}

inline bool SameEntries(const std::vector<MdxEntry>& a, const std::vector<MdxEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key || a[i].record != b[i].record) return false;
  }
  return true;
}

}  // namespace kvtest
