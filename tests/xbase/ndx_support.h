// Helpers of the NDX tests: keys as strings, the engine's view of an open
// index, and a reference model of what the index must hold.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/index_check/ndx_invariants.h"
#include "kv/xbase.h"
#include "xbase/frame/engine.h"
#include "xbase/index/ndx/ndx_index.h"

namespace kvtest {

// The invariant checker lives with the host's index tools; the tests name it
// as their own.
using kvcheck::CheckNdxFile;
using kvcheck::CompareStoredKeys;
using kvcheck::NdxCheckOptions;
using kvcheck::NdxCheckResult;
using kvcheck::NdxEntry;

// The control block of an open NDX handle (for the in-memory free chain).
inline kv::xb::ndx::NdxIndex* OpenIndex(XBHANDLE h) {
  kv::xb::ClientContext* context = kv::xb::FindContext();
  if (context == nullptr) return nullptr;
  kv::xb::Slot* slot = context->handles.Get(h);
  if (slot == nullptr || slot->type != kv::xb::SlotType::Ndx) return nullptr;
  return static_cast<kv::xb::ndx::NdxIndex*>(slot->block.get());
}

inline std::string NumericKey(double d) {
  std::string k(8, '\0');
  uint64_t bits = 0;
  std::memcpy(&bits, &d, 8);
  for (int i = 0; i < 8; ++i) k[i] = static_cast<char>(bits >> (8 * i));
  return k;
}

inline std::string Padded(const std::string& s, size_t L) {
  std::string k = s.substr(0, L);
  k.resize(L, ' ');
  return k;
}

// Walks the index with top/next; the keys as L bytes (character) or 8.
inline std::vector<NdxEntry> WalkForward(XBHANDLE h, size_t keyBytes, XBSTATUS* last) {
  std::vector<NdxEntry> out;
  std::vector<char> key(keyBytes + 1);
  uint32_t r = 0;
  XBSTATUS s = XBDNKTOP(h, key.data(), &r);
  while (s == 0) {
    out.push_back({std::string(key.data(), keyBytes), r});
    s = XBDNKNEXT(h, key.data(), &r);
  }
  *last = s;
  return out;
}

inline std::vector<NdxEntry> WalkBackward(XBHANDLE h, size_t keyBytes, XBSTATUS* last) {
  std::vector<NdxEntry> out;
  std::vector<char> key(keyBytes + 1);
  uint32_t r = 0;
  XBSTATUS s = XBDNKBOT(h, key.data(), &r);
  while (s == 0) {
    out.push_back({std::string(key.data(), keyBytes), r});
    s = XBDNKPREV(h, key.data(), &r);
  }
  *last = s;
  return out;
}

}  // namespace kvtest
