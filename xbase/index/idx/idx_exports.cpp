// The IDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root, free-list head and
// end bound, work, empty the node cache.
#include "xbase/frame/text.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/idx/idx_tree.h"

using namespace kv::xb;
using namespace kv::xb::idx;

using Keys = index::SingleFileKeys<IdxIndex, Tree, SearchKey, SelectIndex>;

KV_INDEX_CALL(XBDIINFO, "IINFO", (XBHANDLE handle, XBIDXINFO* info),
              Keys::GiveInfo(kModule, handle, info, [](const IdxIndex& ix, XBIDXINFO* out) {
                out->keyType = static_cast<uint8_t>(ix.typeLetter);
                out->form = static_cast<uint8_t>((ix.compact ? 4 : 0) | (ix.descending ? 1 : 0));
                out->formCode = ix.compact ? 8 : 3;
              }))

KV_SINGLE_FILE_EXPORTS(XBDI, Keys, "I")

KV_API XBSTATUS KV_CALL XBDIKTYPE(XBHANDLE handle, uint16_t typeLetter) {
  constexpr const char* kModule = "IKTYPE";
  XB_ENTER();
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  const char letter = UpperAscii(static_cast<char>(typeLetter & 0xFF));
  if (letter != 'C' && letter != 'D' && letter != 'L' && letter != 'N')
    return XB_FAIL(XB_E_KEY_TYPE);
  ix->typeLetter = letter;
  ix->pad = letter == 'C' ? ' ' : 0;
  // A current key kept in the old form would not be found again.
  ix->current.Clear();
  return Status();
}
