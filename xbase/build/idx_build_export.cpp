// XBDIINDEX: creates an IDX file (standard or compact, as the type word
// says) and fills it from every record of a data file in one pass through
// the bulk build.
#include "xbase/build/bulk_internal.h"
#include "xbase/build/idx_build.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;

namespace {
constexpr const char* kModule = "Iindex";
constexpr uint16_t kOpenExclusive = 0;
}  // namespace

KV_API XBSTATUS KV_CALL XBDIINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeWord,
                                  const char* expression, uint16_t keyLength) {
  XB_ENTER();
  if (name == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (dbf::SelectData(dataHandle) == nullptr) return Status();
  // A create that fails on writing leaves a file it made (or emptied):
  // that one goes too; a refused argument leaves what was there alone.
  const bool existed = os::Exists(name);
  XBSTATUS s = XBDICREATE(name, typeWord, expression, keyLength);
  if (s < 0) {
    if (!existed || s == XB_E_WRITE) bulk::KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  XBHANDLE indexHandle = XB_NO_HANDLE;
  s = XBDIOPENX(&indexHandle, name, kOpenExclusive);
  // The key type is the type word's letter, as XBDIKTYPE declares it.
  if (s == 0) s = XBDIKTYPE(indexHandle, static_cast<uint16_t>(typeWord & 0x7F));
  if (s == 0) {
    idx::IdxIndex* ix = idx::SelectIndex(indexHandle);
    if (ix == nullptr) {
      s = Status();
    } else {
      bulk::IdxFamilyBuilder builder(*ix, bulk::SingleField(dataHandle, expression));
      s = bulk::RunBulkBuild(dataHandle, name, builder);
    }
  }
  if (indexHandle != XB_NO_HANDLE) {
    if (s < 0) {
      bulk::KeepingFailure([&] { XBDICLOSE(indexHandle); });
    } else {
      s = XBDICLOSE(indexHandle);
    }
  }
  if (s < 0) {
    // A failed build leaves no index file behind.
    bulk::KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  return SetState(0);
}
