// The NTX key operations. Each runs in the operation frame: select the
// handle, reread root and free-list head, work, empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ntx/ntx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ntx;
namespace idx = kv::xb::index;

namespace {

struct NtxKeys : idx::SingleFileTraits<NtxIndex> {
  using Tree = ntx::Tree;
  using SearchKey = ntx::SearchKey;
  static constexpr size_t kKeyBytes = kMaxKeyLength + 1;
  static constexpr uint16_t kFindExact = ntx::kFindExact;
  static bool Select(XBHANDLE handle, const char*, NtxIndex** out) {
    *out = SelectIndex(handle);
    return *out != nullptr;
  }
  static Tree MakeTree(NtxIndex* ix) { return Tree(*ix); }
  static uint64_t EntryBound(NtxIndex* ix) {
    return uint64_t{ix->pages.endPage} * (ix->maxItems + 1u) + 128u;
  }
  // Every key is text: L bytes and a NUL.
  static void GiveKey(NtxIndex* ix, const uint8_t* key, void* out) {
    std::memcpy(out, key, ix->keyLength);
    static_cast<uint8_t*>(out)[ix->keyLength] = 0;
  }
  static void MakeSearchKey(NtxIndex* ix, const void* key, uint16_t flags, uint32_t record,
                            SearchKey* out) {
    ntx::MakeSearchKey(*ix, key, flags, record, out);
  }
  static void MakeEntryKey(NtxIndex* ix, const void* key, uint32_t record, SearchKey* out) {
    ntx::MakeEntryKey(*ix, key, record, out);
  }
};

using Keys = idx::KeyOperations<NtxKeys>;

}  // namespace

KV_INDEX_KEY_EXPORTS(XBDC, XBHANDLE, Keys, "CKADD", "CKDEL", "CKFIND", "CKTOP", "CKBOT", "CKNEXT",
                     "CKPREV", "CKCUR")
