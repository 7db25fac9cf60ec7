// The NDX key operations and information calls. Each key operation runs in
// the operation frame: select the handle, reread root and end page, work,
// empty the page cache.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/key_operations.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/ndx/ndx_tree.h"

using namespace kv::xb;
using namespace kv::xb::ndx;
namespace idx = kv::xb::index;

namespace {

struct NdxKeys : idx::SingleFileTraits<NdxIndex> {
  using Tree = ndx::Tree;
  using SearchKey = ndx::SearchKey;
  static constexpr size_t kKeyBytes = kMaxKeyLength + 8;
  static constexpr uint16_t kFindExact = ndx::kFindExact;
  static bool Select(XBHANDLE handle, const char*, NdxIndex** out) {
    *out = SelectIndex(handle);
    return *out != nullptr;
  }
  static Tree MakeTree(NdxIndex* ix) { return Tree(*ix); }
  static uint64_t EntryBound(NdxIndex* ix) {
    return uint64_t{ix->pages.endPage} * (ix->keysPerPage + 1u) + 64u;
  }
  // L bytes and a NUL for character keys, the 8 bytes of the double for
  // numeric ones.
  static void GiveKey(NdxIndex* ix, const uint8_t* key, void* out) {
    std::memcpy(out, key, ix->keyLength);
    if (ix->keyType == kTypeCharacter) static_cast<uint8_t*>(out)[ix->keyLength] = 0;
  }
  static void MakeSearchKey(NdxIndex* ix, const void* key, uint16_t flags, uint32_t record,
                            SearchKey* out) {
    ndx::MakeSearchKey(*ix, key, flags, record, out);
  }
  static void MakeEntryKey(NdxIndex* ix, const void* key, uint32_t record, SearchKey* out) {
    ndx::MakeEntryKey(*ix, key, record, out);
  }
};

using Keys = idx::KeyOperations<NdxKeys>;

}  // namespace

KV_API XBSTATUS KV_CALL XBDNEXPR(XBHANDLE handle, char* text) {
  constexpr const char* kModule = "NEXPR";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::strcpy(text, ix->expression());
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNINFO(XBHANDLE handle, XBNDXINFO* info) {
  constexpr const char* kModule = "NINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  // Both areas hold 260 characters and a NUL; the record was zero-filled.
  std::memcpy(info->fileName, ix->fileName, BoundedLength(ix->fileName, sizeof info->fileName - 1));
  info->openFlags =
      static_cast<uint16_t>((ix->readOnly() ? 1 : 0) | (ix->state & (kStateBit1 | kStateShared)));
  info->keyLength = ix->keyLength;
  info->keyType = ix->keyType == 0 ? 'C' : (ix->keyType == 1 ? 'N' : ix->keyType);
  info->unique = ix->unique ? 128 : 0;
  info->lockState = ix->lockState;
  const size_t length = std::strlen(ix->expression());
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, ix->expression(),
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNHGET(XBHANDLE handle) {
  constexpr const char* kModule = "NHGET";
  XB_ENTER();
  NdxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  Tree tree(*ix);
  const XBSTATUS s = tree.Begin();
  if (s != 0) return s;
  return Status();
}

KV_INDEX_KEY_EXPORTS(XBDN, XBHANDLE, Keys, "NKADD", "NKDEL", "NKFIND", "NKTOP", "NKBOT", "NKNEXT",
                     "NKPREV", "NKCUR")
