// The exported key operations of every index family, written once: add,
// delete, find, top, bottom, next, previous and current. Each runs in the
// operation frame (select the handle, reread what another process may have
// changed, work, empty the page cache) and leaves the call's state as its
// status. A family supplies its traits:
//
//   using Handle, Ref, Tree, SearchKey       the handle type, what a select
//                                            gives, the tree and its keys
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
//   KeyOwner(const Ref&)                     what the family's key maker
//                                            takes: MakeSearchKey(owner, key,
//                                            flags, record, SearchKey*),
//                                            found by argument
//
// and the tree: Begin, Search, Top, Bottom, Next, Previous, EntryAt,
// RestoreCurrent, Insert, Remove and Corrupt.
#pragma once
#include <cstdint>
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/key_status.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/frame/search_key.h"

namespace kv::xb::index {

template <class F>
class KeyOperations {
  using Handle = typename F::Handle;
  using Ref = typename F::Ref;
  using Tree = typename F::Tree;
  using SearchKey = typename F::SearchKey;
  // Room for one stored key: a search key holds the longest.
  static constexpr size_t kKeyBytes = sizeof(SearchKey::bytes);

 public:
  static XBSTATUS Add(const char* kModule, Handle handle, const void* key, uint32_t record) {
    return Change(kModule, handle, key, record, true);
  }
  static XBSTATUS Delete(const char* kModule, Handle handle, const void* key, uint32_t record) {
    return Change(kModule, handle, key, record, false);
  }

  static XBSTATUS Find(const char* kModule, Handle handle, void* key, uint32_t* record,
                       uint16_t flags) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    return InFrame(kModule, handle, kReads, [&](const Ref& ref, Tree& tree) {
      SearchKey search;
      MakeSearchKey(F::KeyOwner(ref), key, flags, *record, &search);
      XBSTATUS code = 0;
      const XBSTATUS s = tree.Search(search, &code);
      if (s != 0) return s;
      // A key before every entry: the first entry is the answer.
      if (code == kPastEdge) code = kKeyFound;
      return GiveFound(ref, tree, code, key, record);
    });
  }

  // The first (`top`) or last entry.
  static XBSTATUS Edge(const char* kModule, Handle handle, void* key, uint32_t* record, bool top) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    return InFrame(kModule, handle, kReads, [&](const Ref& ref, Tree& tree) {
      XBSTATUS code = 0;
      const XBSTATUS s = top ? tree.Top(&code) : tree.Bottom(&code);
      if (s != 0) return s;
      return GiveFound(ref, tree, code, key, record);
    });
  }

  // The entry after (`next`) or before the current key.
  static XBSTATUS Step(const char* kModule, Handle handle, void* key, uint32_t* record, bool next) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    return InFrame(kModule, handle, kFromCurrent, [&](const Ref& ref, Tree& tree) {
      XBSTATUS found = 0;
      XBSTATUS s = FindCurrent(ref, tree, &found);
      if (s != 0) return s;
      if (found == kIndexEmpty) return GiveFound(ref, tree, found, key, record);
      XBSTATUS code = kKeyFound;
      if (next) {
        // When the current key has gone, the position is already on an
        // entry before it (4) or on the first entry, which follows it (3).
        if (found != kPastEdge && (s = tree.Next(&code)) != 0) return s;
      } else {
        // The entry before a vanished current key is the position itself
        // (4); nothing lies before a key smaller than all (3).
        if (found == kKeyFound && (s = tree.Previous(&code)) != 0) return s;
        if (found == kPastEdge) code = kPastEdge;
      }
      return GiveEntry(ref, tree, code, key, record, true);
    });
  }

  // The current key, found again in the file; it stays the current key.
  static XBSTATUS Current(const char* kModule, Handle handle, void* key, uint32_t* record) {
    if (key == nullptr || record == nullptr) return XB_FAIL(XB_E_NULL);
    return InFrame(kModule, handle, kFromCurrent, [&](const Ref& ref, Tree& tree) {
      XBSTATUS code = 0;
      const XBSTATUS s = FindCurrent(ref, tree, &code);
      if (s != 0) return s;
      if (code == kIndexEmpty) return SetState(code);
      if (code == kPastEdge) code = kKeyNotFound;
      return GiveEntry(ref, tree, code, key, record, false);
    });
  }

  // The information call of a single-file family: the file's fields, the
  // key's, then the family's own from `fill(block, info)`.
  template <class Info, class Fill>
  static XBSTATUS GiveInfo(const char* kModule, Handle handle, Info* info, Fill fill) {
    auto select = [kModule](Handle h) {
      Ref ref{};
      return F::Select(h, kModule, &ref) ? ref : nullptr;
    };
    return GiveFileInfo(kModule, handle, info, select, [&fill](auto& block, Info* out) {
      PutKeyInfo(F::KeyLength(&block), F::Unique(&block), F::Expression(&block), out);
      fill(block, out);
    });
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
  // What a call needs before it works: nothing more, a file it may write,
  // or a current key to step from (without one the call's state is 4).
  enum Needs { kReads, kWrites, kFromCurrent };

  // Selects the handle and runs `work(ref, tree)` in the operation frame,
  // the header reread first.
  template <class Work>
  static XBSTATUS InFrame(const char* kModule, Handle handle, Needs needs, Work work) {
    Ref ref{};
    if (!F::Select(handle, kModule, &ref)) return Status();
    if (needs == kWrites && F::ReadOnly(ref)) return XB_FAIL(XB_E_READONLY);
    if (needs == kFromCurrent && !F::Current(ref).present()) return SetState(kKeyNotFound);
    OperationFrame frame = F::Frame(ref);
    Tree tree = F::MakeTree(ref);
    const XBSTATUS s = tree.Begin();
    if (s != 0) return s;
    return work(ref, tree);
  }

  // Adds (`add`) or deletes the entry of `key` and `record`.
  static XBSTATUS Change(const char* kModule, Handle handle, const void* key, uint32_t record,
                         bool add) {
    if (key == nullptr) return XB_FAIL(XB_E_NULL);
    return InFrame(kModule, handle, kWrites, [&](const Ref& ref, Tree& tree) {
      // Compared over L, and with its record number unless the index is
      // unique.
      SearchKey entry;
      MakeSearchKey(F::KeyOwner(ref), key, F::Unique(ref) ? 0 : kFindExact, record, &entry);
      entry.length = F::KeyLength(ref);
      XBSTATUS code = 0;
      const XBSTATUS s = add ? tree.Insert(entry) : tree.Remove(entry, &code);
      if (s != 0) return s;
      return add ? Status() : SetState(code);
    });
  }

  // The entry a search or an edge found, which becomes the current key; an
  // empty index leaves none.
  static XBSTATUS GiveFound(const Ref& ref, Tree& tree, XBSTATUS code, void* key,
                            uint32_t* record) {
    if (code != kIndexEmpty) return GiveEntry(ref, tree, code, key, record, true);
    F::Current(ref).Clear();
    return SetState(code);
  }

  // Returns the entry at the position, stores it as the current key when
  // asked, and leaves `code` as the call's state.
  static XBSTATUS GiveEntry(const Ref& ref, Tree& tree, XBSTATUS code, void* key, uint32_t* record,
                            bool makeCurrent) {
    uint8_t bytes[kKeyBytes];
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
    MakeSearchKey(F::KeyOwner(ref), current.key(), kFindExact, current.record(), &key);
    // The stored key is L bytes and may hold NUL bytes: compare all of them.
    std::memcpy(key.bytes, current.key(), L);
    key.length = L;
    if (!F::Unique(ref)) return tree.Search(key, code);
    key.exact = false;
    if ((s = tree.Search(key, code)) != 0 || *code != kKeyFound) return s;
    uint8_t bytes[kKeyBytes];
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

// The traits of the single-file families (NDX, IDX, NTX): a select gives the
// control block, which holds the cache, path, page file and current key and
// tells the entry bound (entryBound()), whether keys are given as texts
// (textKeys()) and the expression (expressionText()).
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
  static uint64_t EntryBound(Block* ix) { return ix->entryBound(); }
  static bool TextKey(Block* ix) { return ix->textKeys(); }
  static const char* Expression(Block* ix) { return ix->expressionText(); }
};

// The key operations of a single-file family.
template <class Block, class Tree, class SearchKey, Block* (*SelectBlock)(XBHANDLE)>
using SingleFileKeys = KeyOperations<SingleFileTraits<Block, Tree, SearchKey, SelectBlock>>;

}  // namespace kv::xb::index

// The eight exported key calls of a family, defined once: PREFIX names them
// (PREFIX##KADD, PREFIX##KDEL, ...), HANDLE is their handle's type, KEYS the
// family's KeyOperations, and the last eight are the module names their log
// lines carry, in the order add, delete, find, top, bottom, next, previous,
// current.
#define KV_INDEX_KEY_EXPORTS(PREFIX, HANDLE, KEYS, ADD, DEL, FIND, TOP, BOT, NEXT, PREV, CUR)      \
  KV_INDEX_CALL(PREFIX##KADD, ADD, (HANDLE handle, const void* key, uint32_t record),              \
                KEYS::Add(kModule, handle, key, record))                                           \
  KV_INDEX_CALL(PREFIX##KDEL, DEL, (HANDLE handle, const void* key, uint32_t record),              \
                KEYS::Delete(kModule, handle, key, record))                                        \
  KV_INDEX_CALL(PREFIX##KFIND, FIND, (HANDLE handle, void* key, uint32_t* record, uint16_t flags), \
                KEYS::Find(kModule, handle, key, record, flags))                                   \
  KV_INDEX_CALL(PREFIX##KTOP, TOP, (HANDLE handle, void* key, uint32_t* record),                   \
                KEYS::Edge(kModule, handle, key, record, true))                                    \
  KV_INDEX_CALL(PREFIX##KBOT, BOT, (HANDLE handle, void* key, uint32_t* record),                   \
                KEYS::Edge(kModule, handle, key, record, false))                                   \
  KV_INDEX_CALL(PREFIX##KNEXT, NEXT, (HANDLE handle, void* key, uint32_t* record),                 \
                KEYS::Step(kModule, handle, key, record, true))                                    \
  KV_INDEX_CALL(PREFIX##KPREV, PREV, (HANDLE handle, void* key, uint32_t* record),                 \
                KEYS::Step(kModule, handle, key, record, false))                                   \
  KV_INDEX_CALL(PREFIX##KCUR, CUR, (HANDLE handle, void* key, uint32_t* record),                   \
                KEYS::Current(kModule, handle, key, record))

// Every export of a single-file family but its information call: the
// expression (PREFIX##EXPR), the header reread (PREFIX##HGET) and the eight
// key calls, whose module names are the family's LETTER and the call's name
// ("N" "KADD" for XBDNKADD).
#define KV_SINGLE_FILE_EXPORTS(PREFIX, KEYS, LETTER)                                           \
  KV_INDEX_CALL(PREFIX##EXPR, LETTER "EXPR", (XBHANDLE handle, char* text),                    \
                KEYS::Expression(kModule, handle, text))                                       \
  KV_INDEX_CALL(PREFIX##HGET, LETTER "HGET", (XBHANDLE handle), KEYS::Reread(kModule, handle)) \
  KV_INDEX_KEY_EXPORTS(PREFIX, XBHANDLE, KEYS, LETTER "KADD", LETTER "KDEL", LETTER "KFIND",   \
                       LETTER "KTOP", LETTER "KBOT", LETTER "KNEXT", LETTER "KPREV",           \
                       LETTER "KCUR")
