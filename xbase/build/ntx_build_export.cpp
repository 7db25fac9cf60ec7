// XBDCINDEX: creates an NTX file and fills it from every record of a data
// file in one pass through the bulk build.
#include "xbase/build/bulk_internal.h"
#include "xbase/build/ntx_build.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;

namespace {
constexpr const char* kModule = "Cindex";
constexpr uint16_t kOpenExclusive = 0;
}  // namespace

KV_API XBSTATUS KV_CALL XBDCINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeLetter,
                                  const char* expression, uint16_t keyLength, uint16_t decimals) {
  XB_ENTER();
  if (name == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (dbf::SelectData(dataHandle) == nullptr) return Status();
  // A create that fails on writing leaves a file it made (or emptied):
  // that one goes too; a refused argument leaves what was there alone.
  const bool existed = os::Exists(name);
  XBSTATUS s = XBDCCREATE(name, typeLetter, expression, keyLength, decimals);
  if (s < 0) {
    if (!existed || s == XB_E_WRITE) bulk::KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  XBHANDLE indexHandle = XB_NO_HANDLE;
  s = XBDCOPENX(&indexHandle, name, kOpenExclusive);
  if (s == 0) {
    ntx::NtxIndex* ix = ntx::SelectIndex(indexHandle);
    if (ix == nullptr) {
      s = Status();
    } else {
      bulk::NtxFamilyBuilder builder(*ix, bulk::SingleField(dataHandle, expression));
      s = bulk::RunBulkBuild(dataHandle, name, builder);
    }
  }
  if (indexHandle != XB_NO_HANDLE) {
    if (s < 0) {
      bulk::KeepingFailure([&] { XBDCCLOSE(indexHandle); });
    } else {
      s = XBDCCLOSE(indexHandle);
    }
  }
  if (s < 0) {
    // A failed build leaves no index file behind.
    bulk::KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  return SetState(0);
}
