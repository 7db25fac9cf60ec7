// The key operations of MDX tags. Each runs in the operation frame: select
// the tag, reread the file header words and the tag's root, work, empty the
// tag's block cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/mdx_tree.h"
#include "xbase/index/operation_frame.h"

using namespace kv::xb;
using namespace kv::xb::mdx;
namespace idx = kv::xb::index;

namespace {

// Copies an entry's key to the caller: L bytes and a NUL for character
// keys, the 8 or 12 key bytes for date and numeric ones.
void GiveKey(const TagTree& t, const uint8_t* key, void* out) {
  std::memcpy(out, key, t.keyLength);
  if (t.keyType == 'C') static_cast<uint8_t*>(out)[t.keyLength] = 0;
}

XBSTATUS GiveEntry(TagTree& t, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
                   bool makeCurrent) {
  uint8_t bytes[kMaxKeyLength + 12];
  uint32_t r = 0;
  const XBSTATUS s = tree.EntryAt(bytes, &r);
  if (s != 0) return s;
  GiveKey(t, bytes, key);
  *record = r;
  if (makeCurrent) t.current.Store(bytes, r, t.path);
  return SetState(code);
}

// Finds the current key again, as the NDX family does: exact on key and
// record number, or in a unique tag (where equal keys are not in record
// order) by scanning the equal keys for the record number.
XBSTATUS FindCurrent(const TagRef& ref, Tree& tree, XBSTATUS* code) {
  TagTree& t = *ref.tree;
  bool restored = false;
  if (const XBSTATUS s = tree.RestoreCurrent(&restored); s != 0 || restored) {
    *code = idx::kKeyFound;
    return s;
  }
  SearchKey key;
  MakeSearchKey(t, t.current.key(), kFindExact, t.current.record(), &key);
  std::memcpy(key.bytes, t.current.key(), t.keyLength);
  key.length = t.keyLength;
  if (!t.unique()) return tree.Search(key, code);
  key.exact = false;
  XBSTATUS s = tree.Search(key, code);
  if (s != 0 || *code != idx::kKeyFound) return s;
  uint8_t bytes[kMaxKeyLength + 12];
  // No tag holds more entries than its blocks can.
  for (uint64_t guard = uint64_t{ref.file->nextBlock()} * (t.keysPerBlock + 1u) + 64u; guard > 0;
       --guard) {
    uint32_t r = 0;
    if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
    if (r == t.current.record()) return 0;
    XBSTATUS edge = 0;
    if ((s = tree.Next(&edge)) != 0) return s;
    if (edge == idx::kKeyFound) {
      if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
      if (std::memcmp(bytes, t.current.key(), t.keyLength) == 0) continue;
    }
    if (edge == idx::kKeyFound && (s = tree.Previous(&edge)) != 0) return s;
    *code = idx::kKeyNotFound;
    return 0;
  }
  return tree.Corrupt();
}

// The frame of one key operation on a selected tag.
struct KeyCall {
  explicit KeyCall(TagRef r) : ref(r), frame(r.tree->cache, r.tree->path, r.file->pages), tree(r) {}
  TagRef ref;
  idx::OperationFrame frame;
  Tree tree;
};

enum class Edge { Top, Bottom };

XBSTATUS EdgeEntry(const char* kModule, XBTAGHANDLE handle, void* key, uint32_t* record,
                   Edge edge) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = edge == Edge::Top ? call.tree.Top(&code) : call.tree.Bottom(&code)) != 0) return s;
  if (code == idx::kIndexEmpty) {
    ref.tree->current.Clear();
    return SetState(code);
  }
  return GiveEntry(*ref.tree, call.tree, code, key, record, true);
}

enum class Step { Next, Previous };

XBSTATUS StepEntry(const char* kModule, XBTAGHANDLE handle, void* key, uint32_t* record,
                   Step step) {
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  TagTree& t = *ref.tree;
  if (!t.current.present()) return SetState(idx::kKeyNotFound);
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  XBSTATUS found = 0;
  if ((s = FindCurrent(ref, call.tree, &found)) != 0) return s;
  if (found == idx::kIndexEmpty) {
    t.current.Clear();
    return SetState(found);
  }
  XBSTATUS code = idx::kKeyFound;
  if (step == Step::Next) {
    if (found != idx::kPastEdge && (s = call.tree.Next(&code)) != 0) return s;
  } else {
    if (found == idx::kKeyFound && (s = call.tree.Previous(&code)) != 0) return s;
    if (found == idx::kPastEdge) code = idx::kPastEdge;
  }
  return GiveEntry(t, call.tree, code, key, record, true);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDMKADD(XBTAGHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "MKADD";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  if (ref.file->readOnly()) return XB_FAIL(XB_E_READONLY);
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ref.tree, key, record, &entry);
  if ((s = call.tree.Insert(entry)) != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMKDEL(XBTAGHANDLE handle, const void* key, uint32_t record) {
  constexpr const char* kModule = "MKDEL";
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  if (ref.file->readOnly()) return XB_FAIL(XB_E_READONLY);
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  SearchKey entry;
  MakeEntryKey(*ref.tree, key, record, &entry);
  XBSTATUS code = 0;
  if ((s = call.tree.Remove(entry, &code)) != 0) return s;
  return SetState(code);
}

KV_API XBSTATUS KV_CALL XBDMKFIND(XBTAGHANDLE handle, void* key, uint32_t* record, uint16_t flags) {
  constexpr const char* kModule = "Mkfind";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  SearchKey search;
  MakeSearchKey(*ref.tree, key, flags, *record, &search);
  XBSTATUS code = 0;
  if ((s = call.tree.Search(search, &code)) != 0) return s;
  if (code == idx::kIndexEmpty) {
    ref.tree->current.Clear();
    return SetState(code);
  }
  if (code == idx::kPastEdge) code = idx::kKeyFound;
  return GiveEntry(*ref.tree, call.tree, code, key, record, true);
}

KV_API XBSTATUS KV_CALL XBDMKTOP(XBTAGHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "MKTOP";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Top);
}

KV_API XBSTATUS KV_CALL XBDMKBOT(XBTAGHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "MKBOT";
  XB_ENTER();
  return EdgeEntry(kModule, handle, key, record, Edge::Bottom);
}

KV_API XBSTATUS KV_CALL XBDMKNEXT(XBTAGHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "MKNEXT";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Next);
}

KV_API XBSTATUS KV_CALL XBDMKPREV(XBTAGHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "Mkprev";
  XB_ENTER();
  return StepEntry(kModule, handle, key, record, Step::Previous);
}

KV_API XBSTATUS KV_CALL XBDMKCUR(XBTAGHANDLE handle, void* key, uint32_t* record) {
  constexpr const char* kModule = "MKCUR";
  XB_ENTER();
  if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
  TagRef ref;
  if (!SelectTag(handle, &ref, kModule)) return Status();
  TagTree& t = *ref.tree;
  if (!t.current.present()) return SetState(idx::kKeyNotFound);
  KeyCall call(ref);
  XBSTATUS s = call.tree.Begin();
  if (s != 0) return s;
  XBSTATUS code = 0;
  if ((s = FindCurrent(ref, call.tree, &code)) != 0) return s;
  if (code == idx::kIndexEmpty) return SetState(code);
  if (code == idx::kPastEdge) code = idx::kKeyNotFound;
  return GiveEntry(t, call.tree, code, key, record, false);
}
