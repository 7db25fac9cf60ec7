// XBDMTINDEX: a new tag of an open MDX file, filled key by key from every
// record of a data file. The data file stays locked for the whole pass; a
// failed build erases the tag again.
#include "xbase/build/bulk_internal.h"
#include "xbase/dbf/read_ahead.h"

using namespace kv::xb;

namespace {
constexpr const char* kModule = "MTINDEX";
constexpr uint16_t kLockAll = 2;

XBSTATUS AddEveryRecord(XBHANDLE dataHandle, XBTAGHANDLE tag) {
  dbf::DataFile* file = dbf::SelectData(dataHandle);
  if (file == nullptr) return Status();
  const uint32_t records = file->recordCount;
  for (uint32_t r = 1; r <= records; ++r) {
    XBSTATUS s = bulk::LoadRecord(*file, r, kModule);
    if (s != 0) return s;
    void* key = nullptr;
    s = XBDMKMAKE(dataHandle, tag, &key);
    if (s < 0) return s;
    s = XBDMKADD(tag, key, r);
    if (s < 0) {
      bulk::KeepingFailure([&] { XBMFREE(key); });
      return s;
    }
    if ((s = XBMFREE(key)) < 0) return s;
  }
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDMTINDEX(XBHANDLE dataHandle, XBHANDLE mdxHandle, const char* tag,
                                   uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength) {
  XB_ENTER();
  if (tag == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  if (dbf::SelectData(dataHandle) == nullptr) return Status();
  // A tag that could not be made is not erased: the name may be another
  // tag's that the failed creation left alone.
  XBSTATUS s = XBDMTNEW(mdxHandle, tag, typeLetter, expression, keyLength);
  if (s < 0) return s;
  int16_t lockStatus = 0;
  s = XBDDLOCK(dataHandle, kLockAll, &lockStatus);
  if (s == 0 && lockStatus != 0) s = XB_FAIL(XB_E_LOCKED);
  // A lock call that fails after taking the lock (the record count could
  // not be reread) leaves it held: it is let go like an obtained one.
  const bool locked = s == 0 || lockStatus == 0;
  XBTAGHANDLE tagHandle = 0;
  bool inUse = false;
  if (s == 0) {
    // The lock reread the record count: records appended meanwhile count.
    dbf::DataFile* file = dbf::SelectData(dataHandle);
    if (file == nullptr) {
      s = Status();
    } else if (file->recordCount > 0) {
      s = XBDMTUSE(&tagHandle, mdxHandle, tag);
      inUse = s == 0;
      if (s == 0) s = AddEveryRecord(dataHandle, tagHandle);
    }
  }
  if (inUse) {
    if (s < 0) {
      bulk::KeepingFailure([&] { XBDMTCLOSE(tagHandle); });
    } else {
      s = XBDMTCLOSE(tagHandle);
    }
  }
  if (dbf::DataFile* file = dbf::SelectData(dataHandle)) dbf::ReleaseReadAhead(*file);
  if (locked) {
    if (s < 0) {
      bulk::KeepingFailure([&] { XBDDUNLOCK(dataHandle, kLockAll, &lockStatus); });
    } else {
      s = XBDDUNLOCK(dataHandle, kLockAll, &lockStatus);
    }
  }
  if (s < 0) {
    // A failed build leaves no tag behind.
    bulk::KeepingFailure([&] { XBDMTERASE(mdxHandle, tag); });
    return s;
  }
  return SetState(0);
}
