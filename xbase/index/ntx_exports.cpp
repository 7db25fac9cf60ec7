// The NTX key operations. Each runs in the operation frame: select the
// handle, reread root and free-list head, work, empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/ntx_tree.h"
#include "xbase/index/operation_frame.h"

using namespace kv::xb;
using namespace kv::xb::ntx;
namespace idx = kv::xb::index;

namespace {

// Returns the key at the position (L bytes and a NUL), stores it as the
// current key when asked, and leaves `code` as the call's state.
XBSTATUS GiveEntry(NtxIndex& ix, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
                   bool makeCurrent) {
  uint8_t bytes[kMaxKeyLength + 1];
  uint32_t r = 0;
  const XBSTATUS s = tree.EntryAt(bytes, &r);
  if (s != 0) return s;
  std::memcpy(key, bytes, ix.keyLength);
  static_cast<uint8_t*>(key)[ix.keyLength] = 0;
  *record = r;
  if (makeCurrent) {
    ix.current.Store(bytes, r, ix.path);
  }
  return SetState(code);
}

void ForgetCurrent(NtxIndex& ix) {
  ix.current.Clear();
}

// Finds the current key again. Where it was found last, if it is still
// there, is the answer: the walk then goes on in the tree's own order even
// when the keys are not in byte order. Otherwise it is searched for by key
// and record number; in a unique index equal keys are not kept in record
// order, so the equal keys are scanned for the record number, and not found
// among them the position is the last of them (4).
XBSTATUS FindCurrent(NtxIndex& ix, Tree& tree, XBSTATUS* code) {
  bool restored = false;
  XBSTATUS s = tree.RestoreHint(&restored);
  if (s != 0) return s;
  if (restored) {
    *code = idx::kKeyFound;
    return 0;
  }
  SearchKey key;
  MakeSearchKey(ix, ix.current.key(), kFindExact, ix.current.record(), &key);
  // The stored key is L bytes and may hold NUL bytes: compare all of them.
  std::memcpy(key.bytes, ix.current.key(), ix.keyLength);
  key.length = ix.keyLength;
  if (!ix.unique) return tree.Search(key, code);
  key.exact = false;
  if ((s = tree.Search(key, code)) != 0 || *code != idx::kKeyFound) return s;
  uint8_t bytes[kMaxKeyLength + 1];
  for (uint32_t guard = ix.pages.endPage * 128u + 128u; guard > 0; --guard) {
    uint32_t r = 0;
    if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
    if (r == ix.current.record()) return 0;
    XBSTATUS edge = 0;
    if ((s = tree.Next(&edge)) != 0) return s;
    if (edge == idx::kKeyFound) {
      if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
      if (std::memcmp(bytes, ix.current.key(), ix.keyLength) == 0) continue;
    }
    // Past the equal keys: back to the last of them.
    if (edge == idx::kKeyFound && (s = tree.Previous(&edge)) != 0) return s;
    *code = idx::kKeyNotFound;
    return 0;
  }
  return tree.Corrupt();
}

enum class Edge { Top, Bottom };

XBSTATUS EdgeEntry(const char* kModule, XBHANDLE handle, void* key, uint32_t* record, Edge edge) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = edge == Edge::Top ? tree.Top(&code) : tree.Bottom(&code)) != 0) return s;
  if (code == idx::kIndexEmpty) {
    ForgetCurrent(*ix);
    return SetState(code);
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

enum class Step { Next, Previous };

XBSTATUS StepEntry(const char* kModule, XBHANDLE handle, void* key, uint32_t* record, Step step) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (!ix->current.present()) return SetState(idx::kKeyNotFound);
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS found = 0;
  if ((s = FindCurrent(*ix, tree, &found)) != 0) return s;
  if (found == idx::kIndexEmpty) {
    ForgetCurrent(*ix);
    return SetState(found);
  }
  XBSTATUS code = idx::kKeyFound;
  if (step == Step::Next) {
    // When the current key has gone, the position is already on a key
    // before it (4) or on the first key, which follows it (3).
    if (found != idx::kPastEdge && (s = tree.Next(&code)) != 0) return s;
  } else {
    // The key before a vanished current key is the position itself (4);
    // nothing lies before a key smaller than all (3).
    if (found == idx::kKeyFound && (s = tree.Previous(&code)) != 0) return s;
    if (found == idx::kPastEdge) code = idx::kPastEdge;
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDCKADD(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "CKADD";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (ix->readOnly()) return XB_FAIL(XB_E_READONLY);
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ix, key, record, &entry);
  if ((s = tree.Insert(entry)) != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCKDEL(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "CKDEL";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (ix->readOnly()) return XB_FAIL(XB_E_READONLY);
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ix, key, record, &entry);
  XBSTATUS code = 0;
  if ((s = tree.Remove(entry, &code)) != 0) return s;
  return SetState(code);
}

KV_API XBSTATUS KV_CALL XBDCKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags) {
  constexpr const char* kModule = "CKFIND";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey search;
  MakeSearchKey(*ix, key, flags, *record, &search);
  XBSTATUS code = 0;
  if ((s = tree.Search(search, &code)) != 0) return s;
  if (code == idx::kIndexEmpty) {
    ForgetCurrent(*ix);
    return SetState(code);
  }
  // A key before every key: the first key is the answer.
  if (code == idx::kPastEdge) code = idx::kKeyFound;
  return GiveEntry(*ix, tree, code, key, record, true);
}

KV_API XBSTATUS KV_CALL XBDCKTOP(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "CKTOP";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Top);
}

KV_API XBSTATUS KV_CALL XBDCKBOT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "CKBOT";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Bottom);
}

KV_API XBSTATUS KV_CALL XBDCKNEXT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "CKNEXT";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Next);
}

KV_API XBSTATUS KV_CALL XBDCKPREV(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "CKPREV";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Previous);
}

KV_API XBSTATUS KV_CALL XBDCKCUR(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "CKCUR";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (!ix->current.present()) return SetState(idx::kKeyNotFound);
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = FindCurrent(*ix, tree, &code)) != 0) return s;
  if (code == idx::kIndexEmpty) return SetState(code);
  if (code == idx::kPastEdge) code = idx::kKeyNotFound;
  return GiveEntry(*ix, tree, code, key, record, false);
}
