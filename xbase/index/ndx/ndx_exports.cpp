// The NDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root and end page, work,
// empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ndx/ndx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ndx;
namespace idx = kv::xb::index;

namespace {

struct NdxKeys : idx::SingleFileTraits<NdxIndex, ndx::Tree, ndx::SearchKey, SelectIndex> {
  static uint64_t EntryBound(NdxIndex* ix) {
    return uint64_t{ix->pages.endPage} * (ix->keysPerPage + 1u) + 64u;
  }
  // L bytes and a NUL for character keys, the 8 bytes of the double for
  // numeric ones.
  static bool TextKey(NdxIndex* ix) { return ix->keyType == kTypeCharacter; }
  static const char* Expression(NdxIndex* ix) { return ix->expression(); }
};

using Keys = idx::KeyOperations<NdxKeys>;

}  // namespace

KV_INDEX_CALL(XBDNINFO, "NINFO", (XBHANDLE handle, XBNDXINFO* info),
              Keys::GiveInfo(kModule, handle, info, [](const NdxIndex& ix, XBNDXINFO* out) {
                out->keyType = ix.keyType == 0 ? 'C' : (ix.keyType == 1 ? 'N' : ix.keyType);
              }))

KV_INDEX_FILE_EXPORTS(XBDN, Keys, "NEXPR", "NHGET")

KV_INDEX_KEY_EXPORTS(XBDN, XBHANDLE, Keys, "NKADD", "NKDEL", "NKFIND", "NKTOP", "NKBOT", "NKNEXT",
                     "NKPREV", "NKCUR")
