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
  static bool TextKey(const TagRef& ref) { return ref.tree->keyType == 'C'; }
  static const TagTree& KeyOwner(const TagRef& ref) { return *ref.tree; }
};

using Keys = idx::KeyOperations<MdxKeys>;

}  // namespace

KV_INDEX_KEY_EXPORTS(XBDM, XBTAGHANDLE, Keys, "MKADD", "MKDEL", "Mkfind", "MKTOP", "MKBOT",
                     "MKNEXT", "Mkprev", "MKCUR")
