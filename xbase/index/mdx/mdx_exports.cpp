// The key operations of MDX tags. Each runs in the operation frame: select
// the tag, reread the file header words and the tag's root, work, empty the
// tag's block cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/mdx/mdx_tree.h"

using namespace kv::xb;
using namespace kv::xb::mdx;
namespace idx = kv::xb::index;

namespace {

// A tag's key operations: the select gives the file and the tag, whose tree
// holds the cache, path and current key; the file holds the blocks.
struct MdxKeys {
  using Handle = XBTAGHANDLE;
  using Ref = TagRef;
  using Tree = mdx::Tree;
  using SearchKey = mdx::SearchKey;
  static constexpr size_t kKeyBytes = kMaxKeyLength + 12;
  static constexpr uint16_t kFindExact = mdx::kFindExact;
  static bool Select(XBTAGHANDLE handle, const char* kModule, TagRef* out) {
    return SelectTag(handle, out, kModule);
  }
  static bool ReadOnly(const TagRef& ref) { return ref.file->readOnly(); }
  static idx::OperationFrame Frame(const TagRef& ref) {
    return idx::OperationFrame(ref.tree->cache, ref.tree->path, ref.file->pages);
  }
  static Tree MakeTree(const TagRef& ref) { return Tree(ref); }
  static idx::CurrentKey& Current(const TagRef& ref) { return ref.tree->current; }
  static idx::PathStack& Path(const TagRef& ref) { return ref.tree->path; }
  static size_t KeyLength(const TagRef& ref) { return ref.tree->keyLength; }
  static bool Unique(const TagRef& ref) { return ref.tree->unique(); }
  // No tag holds more entries than its blocks can.
  static uint64_t EntryBound(const TagRef& ref) {
    return uint64_t{ref.file->nextBlock()} * (ref.tree->keysPerBlock + 1u) + 64u;
  }
  // L bytes and a NUL for character keys, the 8 or 12 key bytes for date
  // and numeric ones.
  static void GiveKey(const TagRef& ref, const uint8_t* key, void* out) {
    std::memcpy(out, key, ref.tree->keyLength);
    if (ref.tree->keyType == 'C') static_cast<uint8_t*>(out)[ref.tree->keyLength] = 0;
  }
  static void MakeSearchKey(const TagRef& ref, const void* key, uint16_t flags, uint32_t record,
                            SearchKey* out) {
    mdx::MakeSearchKey(*ref.tree, key, flags, record, out);
  }
  static void MakeEntryKey(const TagRef& ref, const void* key, uint32_t record, SearchKey* out) {
    mdx::MakeEntryKey(*ref.tree, key, record, out);
  }
};

using Keys = idx::KeyOperations<MdxKeys>;

}  // namespace

KV_INDEX_KEY_EXPORTS(XBDM, XBTAGHANDLE, Keys, "MKADD", "MKDEL", "Mkfind", "MKTOP", "MKBOT",
                     "MKNEXT", "Mkprev", "MKCUR")
