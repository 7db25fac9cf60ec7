// The NTX key operations. Each runs in the operation frame: select the
// handle, reread root and free-list head, work, empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ntx/ntx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ntx;
namespace idx = kv::xb::index;

namespace {

struct NtxKeys : idx::SingleFileTraits<NtxIndex, ntx::Tree, ntx::SearchKey, SelectIndex> {
  static uint64_t EntryBound(NtxIndex* ix) {
    return uint64_t{ix->pages.endPage} * (ix->maxItems + 1u) + 128u;
  }
  // Every key is text: L bytes and a NUL.
  static bool TextKey(NtxIndex*) { return true; }
  static const char* Expression(NtxIndex* ix) { return ix->expression; }
};

using Keys = idx::KeyOperations<NtxKeys>;

}  // namespace

KV_INDEX_CALL(XBDCINFO, "CINFO", (XBHANDLE handle, XBNTXINFO* info),
              Keys::GiveInfo(kModule, handle, info, [](const NtxIndex& ix, XBNTXINFO* out) {
                // The header does not tell the key's type.
                out->keyType = '?';
                out->descending = std::strncmp(ix.expression, "DESCEND", 7) == 0 ? 1 : 0;
                out->decimals = ix.decimals;
              }))

KV_INDEX_FILE_EXPORTS(XBDC, Keys, "CEXPR", "CHGET")

KV_INDEX_KEY_EXPORTS(XBDC, XBHANDLE, Keys, "CKADD", "CKDEL", "CKFIND", "CKTOP", "CKBOT", "CKNEXT",
                     "CKPREV", "CKCUR")
