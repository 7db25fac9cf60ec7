// The exported key operations of every index family, written once: add,
// delete, find, top, bottom, next, previous and current. Each runs in the
// operation frame (select the handle, reread what another process may have
// changed, work, empty the page cache) and leaves the call's state as its
// status. A family supplies its traits:
//
//   using Handle, Ref, Tree, SearchKey       the handle type, what a select
//                                            gives, the tree and its keys
//   static constexpr size_t kKeyBytes        a buffer for one stored key
//   bool Select(Handle, const char* module, Ref*)
//   bool ReadOnly(const Ref&)
//   OperationFrame Frame(const Ref&)         the frame of one call
//   Tree MakeTree(const Ref&)
//   CurrentKey& Current(const Ref&)
//   PathStack& Path(const Ref&)
//   size_t KeyLength(const Ref&), bool Unique(const Ref&)
//   uint64_t EntryBound(const Ref&)          no index holds more entries
//   bool TextKey(const Ref&)                 a key is given with a NUL after
//                                            its L bytes
//   const char* Expression(const Ref&)
//   KeyOwner(const Ref&)                     what the family's key makers
//                                            take: MakeSearchKey(owner, key,
//                                            flags, record, SearchKey*) and
//                                            MakeEntryKey(owner, key, record,
//                                            SearchKey*), found by argument
//   uint16_t kFindExact                      the exact search flag
//
// and the tree: Begin, Search, Top, Bottom, Next, Previous, EntryAt,
// RestoreCurrent, Insert, Remove and Corrupt.
#pragma once
#include <cstdint>
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/operation_frame.h"

namespace kv::xb::index {

template <class F>
class KeyOperations {
  using Handle = typename F::Handle;
  using Ref = typename F::Ref;
  using Tree = typename F::Tree;
  using SearchKey = typename F::SearchKey;

 public:
  static XBSTATUS Add(const char* kModule, Handle handle, const void* key, uint32_t record) {
    if (key == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    if (F::ReadOnly(ref)) return XB_FAIL(XB_E_READONLY);
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    SearchKey entry;
    MakeEntryKey(F::KeyOwner(ref), key, record, &entry);
    if ((s = tree.Insert(entry)) != 0) return s;
    return Status();
  }

  static XBSTATUS Delete(const char* kModule, Handle handle, const void* key, uint32_t record) {
    if (key == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    if (F::ReadOnly(ref)) return XB_FAIL(XB_E_READONLY);
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    SearchKey entry;
    MakeEntryKey(F::KeyOwner(ref), key, record, &entry);
    XBSTATUS code = 0;
    if ((s = tree.Remove(entry, &code)) != 0) return s;
    return SetState(code);
  }

  static XBSTATUS Find(const char* kModule, Handle handle, void* key, uint32_t* record,
                       uint16_t flags) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    SearchKey search;
    MakeSearchKey(F::KeyOwner(ref), key, flags, *record, &search);
    XBSTATUS code = 0;
    if ((s = tree.Search(search, &code)) != 0) return s;
    if (code == kIndexEmpty) {
      F::Current(ref).Clear();
      return SetState(code);
    }
    // A key before every entry: the first entry is the answer.
    if (code == kPastEdge) code = kKeyFound;
    return GiveEntry(ref, tree, code, key, record, true);
  }

  // The first (`top`) or last entry.
  static XBSTATUS Edge(const char* kModule, Handle handle, void* key, uint32_t* record, bool top) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    XBSTATUS code = 0;
    if ((s = top ? tree.Top(&code) : tree.Bottom(&code)) != 0) return s;
    if (code == kIndexEmpty) {
      F::Current(ref).Clear();
      return SetState(code);
    }
    return GiveEntry(ref, tree, code, key, record, true);
  }

  // The entry after (`next`) or before the current key.
  static XBSTATUS Step(const char* kModule, Handle handle, void* key, uint32_t* record, bool next) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    if (!F::Current(ref).present()) return SetState(kKeyNotFound);
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    XBSTATUS found = 0;
    if ((s = FindCurrent(ref, tree, &found)) != 0) return s;
    if (found == kIndexEmpty) {
      F::Current(ref).Clear();
      return SetState(found);
    }
    XBSTATUS code = kKeyFound;
    if (next) {
      // When the current key has gone, the position is already on an entry
      // before it (4) or on the first entry, which follows it (3).
      if (found != kPastEdge && (s = tree.Next(&code)) != 0) return s;
    } else {
      // The entry before a vanished current key is the position itself (4);
      // nothing lies before a key smaller than all (3).
      if (found == kKeyFound && (s = tree.Previous(&code)) != 0) return s;
      if (found == kPastEdge) code = kPastEdge;
    }
    return GiveEntry(ref, tree, code, key, record, true);
  }

  // The current key, found again in the file; it stays the current key.
  static XBSTATUS Current(const char* kModule, Handle handle, void* key, uint32_t* record) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    if (!F::Current(ref).present()) return SetState(kKeyNotFound);
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    XBSTATUS code = 0;
    if ((s = FindCurrent(ref, tree, &code)) != 0) return s;
    if (code == kIndexEmpty) return SetState(code);
    if (code == kPastEdge) code = kKeyNotFound;
    return GiveEntry(ref, tree, code, key, record, false);
  }

  // The key expression, compacted as the file stores it.
  static XBSTATUS Expression(const char* kModule, Handle handle, char* text) {
    if (text == nullptr) return XB_FAIL(XB_E_NULL);
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    std::strcpy(text, F::Expression(ref));
    return Status();
  }

  // Rereads the header words another process may have changed.
  static XBSTATUS Reread(const char* kModule, Handle handle) {
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    Tree tree = F::MakeTree(ref);
    const XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    return Status();
  }

 private:
  // Returns the entry at the position, stores it as the current key when
  // asked, and leaves `code` as the call's state.
  static XBSTATUS GiveEntry(const Ref& ref, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
                            bool makeCurrent) {
    uint8_t bytes[F::kKeyBytes];
    uint32_t r = 0;
    const XBSTATUS s = tree.EntryAt(bytes, &r);
    if (s != 0) return s;
    const size_t L = F::KeyLength(ref);
    std::memcpy(key, bytes, L);
    if (F::TextKey(ref)) static_cast<uint8_t*>(key)[L] = 0;
    *record = r;
    if (makeCurrent) F::Current(ref).Store(bytes, r, F::Path(ref));
    return SetState(code);
  }

  // Finds the current key again: where it was given last, if it is still
  // there, so that a walk goes on in the file's stored order; else by a
  // search on exact key and record number. In a unique index equal keys are
  // not kept in record order (a duplicate goes before the entries it
  // equals), so an exact search could miss the current entry and a walk by
  // next would go round in circles: there the equal keys are scanned for
  // the record number instead. Not found among them, the position is the
  // last of them (4).
  static XBSTATUS FindCurrent(const Ref& ref, Tree& tree, XBSTATUS* code) {
    CurrentKey& current = F::Current(ref);
    bool restored = false;
    XBSTATUS s = tree.RestoreCurrent(&restored);
    if (s != 0 || restored) {
      *code = kKeyFound;
      return s;
    }
    const size_t L = F::KeyLength(ref);
    SearchKey key;
    MakeSearchKey(F::KeyOwner(ref), current.key(), F::kFindExact, current.record(), &key);
    // The stored key is L bytes and may hold NUL bytes: compare all of them.
    std::memcpy(key.bytes, current.key(), L);
    key.length = L;
    if (!F::Unique(ref)) return tree.Search(key, code);
    key.exact = false;
    if ((s = tree.Search(key, code)) != 0 || *code != kKeyFound) return s;
    uint8_t bytes[F::kKeyBytes];
    for (uint64_t guard = F::EntryBound(ref); guard > 0; --guard) {
      uint32_t r = 0;
      if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
      if (r == current.record()) return 0;
      XBSTATUS edge = 0;
      if ((s = tree.Next(&edge)) != 0) return s;
      if (edge == kKeyFound) {
        if ((s = tree.EntryAt(bytes, &r)) != 0) return s;
        if (std::memcmp(bytes, current.key(), L) == 0) continue;
      }
      // Past the equal keys: back to the last of them.
      if (edge == kKeyFound && (s = tree.Previous(&edge)) != 0) return s;
      *code = kKeyNotFound;
      return 0;
    }
    return tree.Corrupt();
  }
};

}  // namespace kv::xb::index

namespace kv::xb::index {

// The traits the single-file families (NDX, IDX, NTX) share: a select gives
// the control block, which holds the cache, path, page file and current key.
template <class Block, class TreeType, class SearchKeyType, Block* (*SelectBlock)(XBHANDLE)>
struct SingleFileTraits {
  using Handle = XBHANDLE;
  using Ref = Block*;
  using Tree = TreeType;
  using SearchKey = SearchKeyType;
  static bool Select(XBHANDLE handle, const char*, Block** out) {
    *out = SelectBlock(handle);
    return *out != nullptr;
  }
  static Tree MakeTree(Block* ix) { return Tree(*ix); }
  static const Block& KeyOwner(Block* ix) { return *ix; }
  static bool ReadOnly(Block* ix) { return ix->readOnly(); }
  static OperationFrame Frame(Block* ix) { return OperationFrame(ix->cache, ix->path, ix->pages); }
  static CurrentKey& Current(Block* ix) { return ix->current; }
  static PathStack& Path(Block* ix) { return ix->path; }
  static size_t KeyLength(Block* ix) { return ix->keyLength; }
  static bool Unique(Block* ix) { return ix->unique; }
};

}  // namespace kv::xb::index

// The eight exported key calls of a family, defined once: PREFIX names them
// (PREFIX##KADD, PREFIX##KDEL, ...), HANDLE is their handle's type, KEYS the
// family's KeyOperations, and the last eight are the module names their log
// lines carry, in the order add, delete, find, top, bottom, next, previous,
// current.
#define KV_INDEX_KEY_EXPORTS(PREFIX, HANDLE, KEYS, ADD, DEL, FIND, TOP, BOT, NEXT, PREV, CUR) \
  KV_API XBSTATUS KV_CALL PREFIX##KADD(HANDLE handle, const void* key, uint32_t record) {     \
    constexpr const char* kModule = ADD;                                                      \
    XB_ENTER();                                                                               \
    return KEYS::Add(kModule, handle, key, record);                                           \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KDEL(HANDLE handle, const void* key, uint32_t record) {     \
    constexpr const char* kModule = DEL;                                                      \
    XB_ENTER();                                                                               \
    return KEYS::Delete(kModule, handle, key, record);                                        \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KFIND(HANDLE handle, void* key, uint32_t* record,           \
                                        uint16_t flags) {                                     \
    constexpr const char* kModule = FIND;                                                     \
    XB_ENTER();                                                                               \
    return KEYS::Find(kModule, handle, key, record, flags);                                   \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KTOP(HANDLE handle, void* key, uint32_t* record) {          \
    constexpr const char* kModule = TOP;                                                      \
    XB_ENTER();                                                                               \
    return KEYS::Edge(kModule, handle, key, record, true);                                    \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KBOT(HANDLE handle, void* key, uint32_t* record) {          \
    constexpr const char* kModule = BOT;                                                      \
    XB_ENTER();                                                                               \
    return KEYS::Edge(kModule, handle, key, record, false);                                   \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KNEXT(HANDLE handle, void* key, uint32_t* record) {         \
    constexpr const char* kModule = NEXT;                                                     \
    XB_ENTER();                                                                               \
    return KEYS::Step(kModule, handle, key, record, true);                                    \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KPREV(HANDLE handle, void* key, uint32_t* record) {         \
    constexpr const char* kModule = PREV;                                                     \
    XB_ENTER();                                                                               \
    return KEYS::Step(kModule, handle, key, record, false);                                   \
  }                                                                                           \
  KV_API XBSTATUS KV_CALL PREFIX##KCUR(HANDLE handle, void* key, uint32_t* record) {          \
    constexpr const char* kModule = CUR;                                                      \
    XB_ENTER();                                                                               \
    return KEYS::Current(kModule, handle, key, record);                                       \
  }

// The expression and header reread calls of a single-file family: PREFIX##EXPR
// and PREFIX##HGET, with the module names their log lines carry.
#define KV_INDEX_FILE_EXPORTS(PREFIX, KEYS, EXPR_MODULE, HGET_MODULE) \
  KV_API XBSTATUS KV_CALL PREFIX##EXPR(XBHANDLE handle, char* text) { \
    constexpr const char* kModule = EXPR_MODULE;                      \
    XB_ENTER();                                                       \
    return KEYS::Expression(kModule, handle, text);                   \
  }                                                                   \
  KV_API XBSTATUS KV_CALL PREFIX##HGET(XBHANDLE handle) {             \
    constexpr const char* kModule = HGET_MODULE;                      \
    XB_ENTER();                                                       \
    return KEYS::Reread(kModule, handle);                             \
  }
