// The IDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root, free-list head and
// end bound, work, empty the node cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"
#include "xbase/index/idx_tree.h"
#include "xbase/index/operation_frame.h"

using namespace kv::xb;
using namespace kv::xb::idx;
namespace ixs = kv::xb::index;

namespace {

// Copies an entry's key to the caller: L bytes, and a NUL after text keys.
void GiveKey(const IdxIndex& ix, const uint8_t* key, void* out) {
  std::memcpy(out, key, ix.keyLength);
  if (ix.textKeys()) static_cast<uint8_t*>(out)[ix.keyLength] = 0;
}

// Returns the entry at the position, stores it as the current key when
// asked, and leaves `code` as the call's state.
XBSTATUS GiveEntry(IdxIndex& ix, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
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

// Finds the current key again (exact key and record number). In a unique
// index equal keys are not kept in record order (a duplicate goes before the
// entries it equals), so an exact search could miss the current entry and a
// walk by next would go round in circles: there the equal keys are scanned
// for the record number instead. Not found among them, the position is the
// last of them (4).
XBSTATUS FindCurrent(IdxIndex& ix, Tree& tree, XBSTATUS* code) {
  bool restored = false;
  if (const XBSTATUS s = tree.RestoreCurrent(&restored); s != 0 || restored) {
    *code = ixs::kKeyFound;
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
  if (s != 0 || *code != ixs::kKeyFound) return s;
  uint8_t bytes[kMaxKeyLength + 8];
  for (uint64_t guard = uint64_t{ix.pages.endPage} * 500u + 64u; guard > 0; --guard) {
    uint32_t r = 0;
    if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
    if (r == ix.current.record()) return 0;
    XBSTATUS edge = 0;
    if ((s = tree.Next(&edge)) != 0) return s;
    if (edge == ixs::kKeyFound) {
      if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
      if (std::memcmp(bytes, ix.current.key(), ix.keyLength) == 0) continue;
    }
    // Past the equal keys: back to the last of them.
    if (edge == ixs::kKeyFound && (s = tree.Previous(&edge)) != 0) return s;
    *code = ixs::kKeyNotFound;
    return 0;
  }
  return tree.Corrupt();
}

enum class Edge { Top, Bottom };

XBSTATUS EdgeEntry(const char* kModule, XBHANDLE handle, void* key, uint32_t* record, Edge edge) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = edge == Edge::Top ? tree.Top(&code) : tree.Bottom(&code)) != 0) return s;
  if (code == ixs::kIndexEmpty) {
    ix->current.Clear();
    return SetState(code);
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

enum class Step { Next, Previous };

XBSTATUS StepEntry(const char* kModule, XBHANDLE handle, void* key, uint32_t* record, Step step) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (!ix->current.present()) return SetState(ixs::kKeyNotFound);
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS found = 0;
  if ((s = FindCurrent(*ix, tree, &found)) != 0) return s;
  if (found == ixs::kIndexEmpty) {
    ix->current.Clear();
    return SetState(found);
  }
  XBSTATUS code = ixs::kKeyFound;
  if (step == Step::Next) {
    // When the current key has gone, the position is already on an entry
    // before it (4) or on the first entry, which follows it (3).
    if (found != ixs::kPastEdge && (s = tree.Next(&code)) != 0) return s;
  } else {
    // The entry before a vanished current key is the position itself (4);
    // nothing lies before a key smaller than all (3).
    if (found == ixs::kKeyFound && (s = tree.Previous(&code)) != 0) return s;
    if (found == ixs::kPastEdge) code = ixs::kPastEdge;
  }
  return GiveEntry(*ix, tree, code, key, record, true);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDIEXPR(XBHANDLE handle, char* text) {
  constexpr const char* kModule = "IEXPR";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::strcpy(text, ix->expression);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIINFO(XBHANDLE handle, XBIDXINFO* info) {
  constexpr const char* kModule = "IINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  // Both areas hold 260 characters and a NUL; the record was zero-filled.
  std::memcpy(info->fileName, ix->fileName, BoundedLength(ix->fileName, sizeof info->fileName - 1));
  info->openFlags =
      static_cast<uint16_t>((ix->readOnly() ? 1 : 0) | (ix->state & (kStateBit1 | kStateShared)));
  info->keyLength = ix->keyLength;
  info->keyType = static_cast<uint8_t>(ix->typeLetter);
  info->unique = ix->unique ? 128 : 0;
  info->form = static_cast<uint8_t>((ix->compact ? 4 : 0) | (ix->descending ? 1 : 0));
  info->formCode = ix->compact ? 8 : 3;
  info->lockState = ix->lockState;
  const size_t length = std::strlen(ix->expression);
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, ix->expression,
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIHGET(XBHANDLE handle) {
  constexpr const char* kModule = "IHGET";
  XB_ENTER();
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  Tree tree(*ix);
  const XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIKADD(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "IKADD";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (ix->readOnly()) return XB_FAIL(XB_E_READONLY);
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ix, key, record, &entry);
  if ((s = tree.Insert(entry)) != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIKDEL(XBHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "IKDEL";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (ix->readOnly()) return XB_FAIL(XB_E_READONLY);
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ix, key, record, &entry);
  XBSTATUS code = 0;
  if ((s = tree.Remove(entry, &code)) != 0) return s;
  return SetState(code);
}

KV_API XBSTATUS KV_CALL XBDIKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags) {
  constexpr const char* kModule = "IKFIND";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  SearchKey search;
  MakeSearchKey(*ix, key, flags, *record, &search);
  XBSTATUS code = 0;
  if ((s = tree.Search(search, &code)) != 0) return s;
  if (code == ixs::kIndexEmpty) {
    ix->current.Clear();
    return SetState(code);
  }
  // A key before every entry: the first entry is the answer.
  if (code == ixs::kPastEdge) code = ixs::kKeyFound;
  return GiveEntry(*ix, tree, code, key, record, true);
}

KV_API XBSTATUS KV_CALL XBDIKTOP(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "IKTOP";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Top);
}

KV_API XBSTATUS KV_CALL XBDIKBOT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "IKBOT";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Bottom);
}

KV_API XBSTATUS KV_CALL XBDIKNEXT(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "IKNEXT";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Next);
}

KV_API XBSTATUS KV_CALL XBDIKPREV(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "IKPREV";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Previous);
}

KV_API XBSTATUS KV_CALL XBDIKCUR(XBHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "IKCUR";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  if (!ix->current.present()) return SetState(ixs::kKeyNotFound);
  ixs::OperationFrame frame(ix->cache, ix->path, ix->pages);
  Tree tree(*ix);
  XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = FindCurrent(*ix, tree, &code)) != 0) return s;
  if (code == ixs::kIndexEmpty) return SetState(code);
  if (code == ixs::kPastEdge) code = ixs::kKeyNotFound;
  return GiveEntry(*ix, tree, code, key, record, false);
}

KV_API XBSTATUS KV_CALL XBDIKTYPE(XBHANDLE handle, uint16_t typeLetter) {
  constexpr const char* kModule = "IKTYPE";
  XB_ENTER();
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  const char letter = UpperAscii(static_cast<char>(typeLetter & 0xFF));
  if (letter != 'C' && letter != 'D' && letter != 'L' && letter != 'N')
    return XB_FAIL(XB_E_KEY_TYPE);
  ix->typeLetter = letter;
  ix->pad = letter == 'C' ? ' ' : 0;
  // A current key kept in the old form would not be found again.
  ix->current.Clear();
  return Status();
}
