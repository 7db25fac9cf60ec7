// File locks of a data file (modes 1..5) and their unlocks.
//
// Modes 1..3 lock one region each. Mode 4 is the shared lock: up to 62
// programs hold it at once, each on a slot byte of its own, after proving
// that nobody holds a record lock or a mode-2/3 lock. Mode 5 only tests that
// nobody holds a shared slot.
#include "xbase/dbf/lock_support.h"
#include "xbase/frame/engine.h"

using namespace kv::xb;
using namespace kv::xb::dbf;
using namespace kv::xb::dbf::lock;

namespace {
constexpr const char* kModule = "DLOCK";

// Proves that nobody else holds any byte of `region`: lock it and unlock it
// again at once. 0 when free, the refusal code otherwise; an unlock failure
// sets the status.
XBSTATUS Probe(DataFile& file, Region region) {
  const XBSTATUS s = Attempt(file, region);
  if (s != 0) return s;
  return Release(file, region);
}

// Takes the first free slot from 0x7FFFFFFC downwards. The counter keeps how
// far the search went, so that the mode-4 unlock finds the slot again.
XBSTATUS TakeSlot(DataFile& file) {
  file.slotCounter = kFirstSlotCounter;
  XBSTATUS s = Attempt(file, {SlotByte(file.slotCounter), 1});
  while (s != 0 && file.slotCounter < kLastSlotCounter) {
    ++file.slotCounter;
    s = Attempt(file, {SlotByte(file.slotCounter), 1});
  }
  return s;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDLOCK(XBHANDLE handle, uint16_t mode, int16_t* lockStatus) {
  XB_ENTER();
  if (lockStatus != nullptr) *lockStatus = 0;
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  XBSTATUS s = 0;
  switch (mode) {
    case 1:
    case 2:
    case 3:
      s = Attempt(*file, FileModeRegion(mode));
      break;
    case 4:
      s = Probe(*file, kRecordTest);
      if (s == 0) s = TakeSlot(*file);
      break;
    case 5:
      s = Probe(*file, kSlotTest);
      break;
    default:
      // Nothing is locked; the caller learns both from the code and from the
      // lock status.
      if (lockStatus != nullptr) *lockStatus = kRefused;
      return XB_FAIL(XB_E_ARGUMENT);
  }
  if (Status() < 0) return Status();  // a probe could not unlock again
  if (s != 0) {
    Refuse(kModule, __LINE__, s, lockStatus);
    return Status();
  }
  if (mode != 5) {
    s = RereadRecordCount(*file);
    if (s != 0) {
      // The caller is told the lock failed, so it must not stay held: an
      // index build or pack would otherwise leave the file locked for good.
      const XBSTATUS failure = Status() < 0 ? Status() : s;
      Current().status = 0;
      Release(*file, mode == 4 ? Region{SlotByte(file->slotCounter), 1} : FileModeRegion(mode));
      Current().status = failure;
      return failure;
    }
  }
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDUNLOCK(XBHANDLE handle, uint16_t mode, int16_t* lockStatus) {
  XB_ENTER();
  if (lockStatus != nullptr) *lockStatus = 0;
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  SetState(0);
  Region region{file->lockOffset, file->lockLength};  // any other mode: the last region
  if (mode >= 1 && mode <= 3) region = FileModeRegion(mode);
  if (mode == 4) region = {SlotByte(file->slotCounter), 1};
  if (Release(*file, region) != 0 && lockStatus != nullptr) *lockStatus = kRefused;
  return Status();
}

// Kept for the host's sake: locking is done by the calls above.
KV_API XBSTATUS KV_CALL XBDDHLOCK(XBHANDLE) {
  return 0;
}
