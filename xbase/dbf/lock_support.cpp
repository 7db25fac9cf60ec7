#include "xbase/dbf/lock_support.h"

#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::dbf::lock {

XBSTATUS Attempt(DataFile& file, Region region) {
  file.lockOffset = region.offset;
  file.lockLength = region.length;
  return os::TryLock(file.fileNo, region.offset, region.length);
}

XBSTATUS Release(DataFile& file, Region region) {
  file.lockOffset = region.offset;
  file.lockLength = region.length;
  return os::Lock(file.fileNo, true, region.offset, region.length);
}

void Refuse(const char* module, int line, XBSTATUS code, int16_t* lockStatus) {
  LogLine(module, line, code);
  if (lockStatus != nullptr) *lockStatus = kRefused;
  SetState(0);
}

XBSTATUS RereadRecordCount(DataFile& file) {
  uint8_t count[4];
  XBSTATUS s = os::Seek(file.fileNo, kOffRecordCount);
  if (s == 0) s = os::Read(file.fileNo, count, sizeof count);
  if (s != 0) return s;
  std::memcpy(file.header + kOffRecordCount, count, sizeof count);
  file.recordCount = GetLE32(count);
  // Records the buffer read ahead before the lock may have changed since.
  file.readAhead.held = 0;
  file.readAhead.first = 0;
  return 0;
}

int FindLocked(const DataFile& file, uint32_t record) {
  const uint32_t* list = file.lockList.as<uint32_t>();
  for (int i = 0; i < file.lockCount; ++i) {
    if (list[i] == record) return i;
  }
  return -1;
}

XBSTATUS AppendLocked(DataFile& file, uint32_t record) {
  if (file.lockCount == file.lockCapacity) {
    if (file.lockCapacity >= kListLimit) return kListFull;
    const int grown = file.lockCapacity + kListGrowth;
    const auto capacity = static_cast<uint16_t>(grown < kListLimit ? grown : kListLimit);
    const XBSTATUS s = file.lockList.Resize(sizeof(uint32_t) * capacity);
    if (s != 0) return s;
    file.lockCapacity = capacity;
  }
  file.lockList.as<uint32_t>()[file.lockCount++] = record;
  return 0;
}

void RemoveLockedAt(DataFile& file, int index) {
  uint32_t* list = file.lockList.as<uint32_t>();
  std::memmove(list + index, list + index + 1,
               sizeof(uint32_t) * static_cast<size_t>(file.lockCount - index - 1));
  --file.lockCount;
}

}  // namespace kv::xb::dbf::lock
