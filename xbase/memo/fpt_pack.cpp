// XBDWPACK: packing a FoxPro memo file for its data file.
#include "xbase/frame/engine.h"
#include "xbase/memo/memo_pack.h"

using namespace kv::xb;
using namespace kv::xb::memo;

namespace {
constexpr const char* kModule = "WPACK";

constexpr uint32_t kUnit = 512;

// A block size of 512 or more goes to the create call in 512-byte units,
// a smaller one as it stands.
XBSTATUS CreateLike(const char* path, XBHANDLE, const MemoGeometry& geometry) {
  const uint32_t size =
      geometry.blockSize >= kUnit ? geometry.blockSize / kUnit : geometry.blockSize;
  return XBDWCREATE(path, static_cast<uint16_t>(size));
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDWPACK(XBHANDLE dataHandle, XBHANDLE* memoHandle) {
  XB_ENTER();
  MemoPackLayout layout{};
  layout.slotType = SlotType::FptMemo;
  layout.extension = ".FPT";
  layout.parts = &kFptParts;
  layout.createLike = CreateLike;
  layout.reopenMode = 0;
  layout.open = XBDWOPENX;
  layout.close = XBDWCLOSE;
  return PackMemoFile(dataHandle, memoHandle, layout, kModule);
}
