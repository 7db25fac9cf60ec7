// Record locks: one byte per record below the shared slots, and the list of
// records the handle holds, so that a record is locked once per handle and
// "unlock record 0" can release all of them.
#include "xbase/dbf/lock_support.h"
#include "xbase/frame/engine.h"

using namespace kv::xb;
using namespace kv::xb::dbf;
using namespace kv::xb::dbf::lock;

namespace {
constexpr const char* kModule = "DRLOCK";

constexpr uint16_t kTest = 5;
constexpr uint16_t kUnlock = 6;
constexpr uint16_t kLock = 7;

void Lock(DataFile& file, uint32_t record, int16_t* lockStatus) {
  if (FindLocked(file, record) >= 0) return;
  const Region region = RecordRegion(record);
  const XBSTATUS s = Attempt(file, region);
  if (s != 0) {
    Refuse(kModule, __LINE__, s, lockStatus);
    return;
  }
  const XBSTATUS listed = AppendLocked(file, record);
  // The byte stays locked even when the list cannot take the record: the
  // unlock of the last region (XBDDUNLOCK with mode 0) or the close frees it.
  if (listed == kListFull) Refuse(kModule, __LINE__, XB_E_LOCK_TABLE, lockStatus);
  if (listed < 0) {
    // The allocator wrote the log line already.
    if (lockStatus != nullptr) *lockStatus = kRefused;
    SetState(0);
  }
}

// Unlocks and forgets the entry at `index`. The entry goes even when the
// unlock fails (the byte is no longer this handle's after a quick close),
// so that unlocking everything always ends with an empty list.
void UnlockAt(DataFile& file, int index) {
  const uint32_t record = file.lockList.as<uint32_t>()[index];
  RemoveLockedAt(file, index);
  const XBSTATUS before = Status();
  Release(file, RecordRegion(record));
  if (before < 0) Current().status = before;  // the first failure is the one reported
}

void Unlock(DataFile& file, uint32_t record) {
  if (record != 0) {
    const int index = FindLocked(file, record);
    if (index >= 0) UnlockAt(file, index);
    return;
  }
  while (file.lockCount > 0) UnlockAt(file, file.lockCount - 1);
}

void Test(DataFile& file, uint32_t record, int16_t* lockStatus) {
  if (FindLocked(file, record) >= 0) return;
  const Region region = RecordRegion(record);
  const XBSTATUS s = Attempt(file, region);
  if (s != 0) {
    Refuse(kModule, __LINE__, s, lockStatus);
    return;
  }
  Release(file, region);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDRLOCK(XBHANDLE handle, uint32_t record, uint16_t mode,
                                  int16_t* lockStatus) {
  XB_ENTER();
  if (lockStatus != nullptr) *lockStatus = 0;
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  SetState(0);
  // Record 0 names no record, and its byte would be the last shared slot.
  if (record == 0 && (mode == kLock || mode == kTest)) {
    if (lockStatus != nullptr) *lockStatus = kRefused;
    return XB_FAIL(XB_E_SEEK);
  }
  switch (mode) {
    case kLock:
      Lock(*file, record, lockStatus);
      break;
    case kUnlock:
      Unlock(*file, record);
      break;
    case kTest:
      Test(*file, record, lockStatus);
      break;
    default:
      break;  // nothing to do
  }
  return Status();
}
