// The IDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root, free-list head and
// end bound, work, empty the node cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/idx/idx_tree.h"

using namespace kv::xb;
using namespace kv::xb::idx;
namespace ixs = kv::xb::index;

namespace {

struct IdxKeys : ixs::SingleFileTraits<IdxIndex> {
  using Tree = idx::Tree;
  using SearchKey = idx::SearchKey;
  static constexpr size_t kKeyBytes = kMaxKeyLength + 8;
  static constexpr uint16_t kFindExact = idx::kFindExact;
  static bool Select(XBHANDLE handle, const char*, IdxIndex** out) {
    *out = SelectIndex(handle);
    return *out != nullptr;
  }
  static Tree MakeTree(IdxIndex* ix) { return Tree(*ix); }
  static uint64_t EntryBound(IdxIndex* ix) {
    return uint64_t{ix->pages.endPage} * (Node::kMaxEntries + 1u) + 64u;
  }
  // L bytes, and a NUL after text keys.
  static void GiveKey(IdxIndex* ix, const uint8_t* key, void* out) {
    std::memcpy(out, key, ix->keyLength);
    if (ix->textKeys()) static_cast<uint8_t*>(out)[ix->keyLength] = 0;
  }
  static void MakeSearchKey(IdxIndex* ix, const void* key, uint16_t flags, uint32_t record,
                            SearchKey* out) {
    idx::MakeSearchKey(*ix, key, flags, record, out);
  }
  static void MakeEntryKey(IdxIndex* ix, const void* key, uint32_t record, SearchKey* out) {
    idx::MakeEntryKey(*ix, key, record, out);
  }
};

using Keys = ixs::KeyOperations<IdxKeys>;

}  // namespace

KV_API XBSTATUS KV_CALL XBDIEXPR(XBHANDLE handle, char* text) {
  constexpr const char* kModule = "IEXPR";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::strcpy(text, ix->expression);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIINFO(XBHANDLE handle, XBIDXINFO* info) {
  constexpr const char* kModule = "IINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  // Both areas hold 260 characters and a NUL; the record was zero-filled.
  std::memcpy(info->fileName, ix->fileName, BoundedLength(ix->fileName, sizeof info->fileName - 1));
  info->openFlags =
      static_cast<uint16_t>((ix->readOnly() ? 1 : 0) | (ix->state & (kStateBit1 | kStateShared)));
  info->keyLength = ix->keyLength;
  info->keyType = static_cast<uint8_t>(ix->typeLetter);
  info->unique = ix->unique ? 128 : 0;
  info->form = static_cast<uint8_t>((ix->compact ? 4 : 0) | (ix->descending ? 1 : 0));
  info->formCode = ix->compact ? 8 : 3;
  info->lockState = ix->lockState;
  const size_t length = std::strlen(ix->expression);
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, ix->expression,
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDIHGET(XBHANDLE handle) {
  constexpr const char* kModule = "IHGET";
  XB_ENTER();
  IdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  Tree tree(*ix);
  const XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  return Status();
}

KV_INDEX_KEY_EXPORTS(XBDI, XBHANDLE, Keys, "IKADD", "IKDEL", "IKFIND", "IKTOP", "IKBOT", "IKNEXT",
                     "IKPREV", "IKCUR")

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
