// The NDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root and end page, work,
// empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"
#include "xbase/index/ndx_tree.h"
#include "xbase/index/operation_frame.h"

using namespace kv::xb;
using namespace kv::xb::ndx;
namespace idx = kv::xb::index;

namespace {

// Copies an entry's key to the caller: L bytes and a NUL for character
// keys, the 8 bytes of the double for numeric ones.
void GiveKey(const NdxIndex& ix, const uint8_t* key, void* out) {
  std::memcpy(out, key, ix.keyLength);
  if (ix.keyType == kTypeCharacter) static_cast<uint8_t*>(out)[ix.keyLength] = 0;
}

// Returns the entry at the position, stores it as the current key when
// asked, and leaves `code` as the call's state.
XBSTATUS GiveEntry(NdxIndex& ix, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
                   bool makeCurrent) {
  uint8_t bytes[kMaxKeyLength + 8];
  uint32_t r = 0;
  const XBSTATUS s = tree.EntryAt(bytes, &r);
  if (s != 0) return s;
  GiveKey(ix, bytes, key);
  *record = r;
  if (makeCurrent) ix.current.Store(bytes, r, ix.path);
  return SetState(code);
}

// Finds the current key again: where it was given last, if it is still
// there, so that a walk goes on in the file's stored order; else by a search
// on exact key and record number. In a unique
// index equal keys are not kept in record order (a duplicate goes before the
// entries it equals), so an exact search could miss the current entry and a
// walk by next would go round in circles: there the equal keys are scanned
// for the record number instead. Not found among them, the position is the
// last of them (4).
XBSTATUS FindCurrent(NdxIndex& ix, Tree& tree, XBSTATUS* code) {
  bool restored = false;
  if (const XBSTATUS s = tree.RestoreCurrent(&restored); s != 0 || restored) {
    *code = idx::kKeyFound;
    return s;
  }
  SearchKey key;
  MakeSearchKey(ix, ix.current.key(), kFindExact, ix.current.record(), &key);
  // The stored key is L bytes and may hold NUL bytes: compare all of them.
  std::memcpy(key.bytes, ix.current.key(), ix.keyLength);
  key.length = ix.keyLength;
  if (!ix.unique) return tree.Search(key, code);
  key.exact = false;
  XBSTATUS s = tree.Search(key, code);
  if (s != 0 || *code != idx::kKeyFound) return s;
  uint8_t bytes[kMaxKeyLength + 8];
  for (uint32_t guard = ix.pages.endPage * 64u + 64u; guard > 0; --guard) {
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
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = edge == Edge::Top ? tree.Top(&code) : tree.Bottom(&code)) != 0) return s;
  if (code == idx::kIndexEmpty) {
    ix->current.Clear();
    return SetState(code);
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

enum class Step { Next, Previous };

XBSTATUS StepEntry(const char* kModule, XBHANDLE handle, void* key, uint32_t* record, Step step) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (!ix->current.present()) return SetState(idx::kKeyNotFound);
  idx::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS found = 0;
  if ((s = FindCurrent(*ix, tree, &found)) != 0) return s;
  if (found == idx::kIndexEmpty) {
    ix->current.Clear();
    return SetState(found);
  }
  XBSTATUS code = idx::kKeyFound;
  if (step == Step::Next) {
    // When the current key has gone, the position is already on an entry
    // before it (4) or on the first entry, which follows it (3).
    if (found != idx::kPastEdge && (s = tree.Next(&code)) != 0) return s;
  } else {
    // The entry before a vanished current key is the position itself (4);
    // nothing lies before a key smaller than all (3).
    if (found == idx::kKeyFound && (s = tree.Previous(&code)) != 0) return s;
    if (found == idx::kPastEdge) code = idx::kPastEdge;
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDNEXPR(XBHANDLE handle, char* text) {
  constexpr const char* kModule = "NEXPR";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::strcpy(text, ix->expression());
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNINFO(XBHANDLE handle, XBNDXINFO* info) {
  constexpr const char* kModule = "NINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  // Both areas hold 260 characters and a NUL; the record was zero-filled.
  std::memcpy(info->fileName, ix->fileName, BoundedLength(ix->fileName, sizeof info->fileName - 1));
  info->openFlags =
      static_cast<uint16_t>((ix->readOnly() ? 1 : 0) | (ix->state & (kStateBit1 | kStateShared)));
  info->keyLength = ix->keyLength;
  info->keyType = ix->keyType == 0 ? 'C' : (ix->keyType == 1 ? 'N' : ix->keyType);
  info->unique = ix->unique ? 128 : 0;
  info->lockState = ix->lockState;
  const size_t length = std::strlen(ix->expression());
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, ix->expression(),
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNHGET(XBHANDLE handle) {
  constexpr const char* kModule = "NHGET";
  XB_ENTER();
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  Tree tree(*ix);
  const XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNKADD(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "NKADD";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
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

KV_API XBSTATUS KV_CALL XBDNKDEL(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "NKDEL";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
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

KV_API XBSTATUS KV_CALL XBDNKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags) {
  constexpr const char* kModule = "NKFIND";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
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
    ix->current.Clear();
    return SetState(code);
  }
  // A key before every entry: the first entry is the answer.
  if (code == idx::kPastEdge) code = idx::kKeyFound;
  return GiveEntry(*ix, tree, code, key, record, true);
}

KV_API XBSTATUS KV_CALL XBDNKTOP(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "NKTOP";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Top);
}

KV_API XBSTATUS KV_CALL XBDNKBOT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "NKBOT";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Bottom);
}

KV_API XBSTATUS KV_CALL XBDNKNEXT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "NKNEXT";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Next);
}

KV_API XBSTATUS KV_CALL XBDNKPREV(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "NKPREV";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Previous);
}

KV_API XBSTATUS KV_CALL XBDNKCUR(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "NKCUR";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
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
