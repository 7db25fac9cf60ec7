// XBDTPACK: packing a dBASE memo file (either layout) for its data file.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/memo/memo_pack.h"

using namespace kv::xb;
using namespace kv::xb::memo;

namespace {
constexpr const char* kModule = "TPACK";

constexpr uint16_t kBlockSizeVariant = 2;
constexpr uint32_t kUnit = 512;

// The temporary file gets the variant and block count of the memo file; in
// the block-size layout it also keeps the file name of the old header, which
// the create call would set from the temporary name.
XBSTATUS CreateLike(const char* path, XBHANDLE handle, const MemoGeometry& geometry) {
  XBDBTINFO info{};
  XBSTATUS s = XBDTINFO(handle, &info);
  if (s < 0) return s;
  const bool blockSize = info.variant == kBlockSizeVariant;
  const uint32_t units = blockSize ? geometry.blockSize / kUnit : 1;
  s = XBDTCREATEX(path, static_cast<uint16_t>(units), info.variant);
  if (s < 0 || !blockSize) return s;
  int fileNo = 0;
  uint16_t state = 0;
  s = os::Open(&fileNo, path, 0, &state);
  if (s < 0) return s;
  s = os::Seek(fileNo, 8);
  if (s == 0) s = os::Write(fileNo, geometry.name, sizeof geometry.name, false);
  if (s == 0) {
    s = os::Close(fileNo);
  } else {
    const XBSTATUS failure = s;
    Current().status = 0;
    os::Close(fileNo);
    Current().status = failure;
  }
  return s;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDTPACK(XBHANDLE dataHandle, XBHANDLE* memoHandle) {
  XB_ENTER();
  if (memoHandle == nullptr) return XB_FAIL(XB_E_NULL);
  XBDBTINFO info{};
  XBSTATUS s = XBDTINFO(*memoHandle, &info);
  if (s < 0) return s;
  MemoPackLayout layout{};
  layout.slotType = SlotType::DbtMemo;
  layout.extension = ".DBT";
  layout.parts = info.variant == kBlockSizeVariant ? &kBlockDbtParts : &kPlainDbtParts;
  layout.createLike = CreateLike;
  layout.reopenMode = info.variant;
  layout.open = XBDTOPENX;
  layout.close = XBDTCLOSE;
  return PackMemoFile(dataHandle, memoHandle, layout, kModule);
}
