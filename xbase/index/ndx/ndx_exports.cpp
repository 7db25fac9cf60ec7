// The NDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root and end page, work,
// empty the page cache.
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/ndx/ndx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ndx;

using Keys = index::SingleFileKeys<NdxIndex, Tree, SearchKey, SelectIndex>;

KV_INDEX_CALL(XBDNINFO, "NINFO", (XBHANDLE handle, XBNDXINFO* info),
              Keys::GiveInfo(kModule, handle, info, [](const NdxIndex& ix, XBNDXINFO* out) {
                out->keyType = ix.keyType == 0 ? 'C' : (ix.keyType == 1 ? 'N' : ix.keyType);
              }))

KV_SINGLE_FILE_EXPORTS(XBDN, Keys, "N")
