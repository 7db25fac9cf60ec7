// The NTX key operations. Each runs in the operation frame: select the
// handle, reread root and free-list head, work, empty the page cache.
#include <cstring>

#include "xbase/index/frame/key_operations.h"
#include "xbase/index/ntx/ntx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ntx;

using Keys = index::SingleFileKeys<NtxIndex, Tree, SearchKey, SelectIndex>;

KV_INDEX_CALL(XBDCINFO, "CINFO", (XBHANDLE handle, XBNTXINFO* info),
              Keys::GiveInfo(kModule, handle, info, [](const NtxIndex& ix, XBNTXINFO* out) {
                // The header does not tell the key's type.
                out->keyType = '?';
                out->descending = std::strncmp(ix.expression, "DESCEND", 7) == 0 ? 1 : 0;
                out->decimals = ix.decimals;
              }))

KV_SINGLE_FILE_EXPORTS(XBDC, Keys, "C")
