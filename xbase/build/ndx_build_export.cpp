// XBDNINDEX: creates an NDX file and fills it from every record of a data
// file in one pass through the bulk build.
#include "xbase/build/bulk_internal.h"
#include "xbase/build/ndx_build.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using kv::xb::bulk::KeepingFailure;

namespace {
constexpr const char* kModule = "Nindex";
constexpr uint16_t kOpenExclusive = 0;

bool RefusedArguments(XBSTATUS s) {
  return s == XB_E_NULL || s == XB_E_EMPTY_NAME || s == XB_E_EXPRESSION || s == XB_E_KEY_TYPE ||
         s == XB_E_KEY_LENGTH;
}
}  // namespace

KV_API XBSTATUS KV_CALL XBDNINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeLetter,
                                  const char* expression, uint16_t keyLength) {
  XB_ENTER();
  if (name == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (dbf::SelectData(dataHandle) == nullptr) return Status();
  XBSTATUS s = XBDNCREATE(name, typeLetter, expression, keyLength);
  if (s < 0) {
    // Refused arguments leave any file of that name alone; a creation that
    // failed while writing leaves a broken file, which goes.
    if (!RefusedArguments(s)) KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  XBHANDLE indexHandle = XB_NO_HANDLE;
  s = XBDNOPENX(&indexHandle, name, kOpenExclusive);
  if (s == 0) {
    ndx::NdxIndex* ix = ndx::SelectIndex(indexHandle);
    if (ix == nullptr) {
      s = Status();
    } else {
      bulk::NdxBuilder builder(*ix, dataHandle);
      s = bulk::RunBulkBuild(dataHandle, name, builder);
      if (s == 0 && builder.finished()) {
        ix->root = builder.root();
        ix->pages.endPage = builder.endPage();
        PutLE32(ix->header + ndx::kOffRoot, ix->root);
        PutLE32(ix->header + ndx::kOffEndPage, ix->pages.endPage);
        ix->headerDirty = true;
      }
    }
  }
  if (indexHandle != XB_NO_HANDLE) {
    if (s < 0) {
      KeepingFailure([&] { XBDNCLOSE(indexHandle); });
    } else {
      s = XBDNCLOSE(indexHandle);
    }
  }
  if (s < 0) {
    // A failed build leaves no index file behind.
    KeepingFailure([&] { os::Erase(name); });
    return s;
  }
  return SetState(0);
}
