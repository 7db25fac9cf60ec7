// Pieces shared by the file-lock and record-lock calls: one lock attempt on
// a region (remembered as the handle's last region), the refused-lock
// convention, and the record-lock list of a handle.
#pragma once
#include <cstdint>

#include "xbase/dbf/data_file.h"
#include "xbase/dbf/lock_regions.h"

namespace kv::xb::dbf::lock {

// Tries to lock `region` without waiting; 0 or the file layer's code. Leaves
// the status and the log alone so that the caller reports a refusal once.
XBSTATUS Attempt(DataFile& file, Region region);

// Unlocks `region`; a failure sets the status with a log line.
XBSTATUS Release(DataFile& file, Region region);

// A refused lock is a state, not an error: one log line with `code`, lock
// status 100, status code 0.
void Refuse(const char* module, int line, XBSTATUS code, int16_t* lockStatus);

// Rereads the record count from the header, so that records another program
// appended before the lock was obtained become visible, and drops the
// read-ahead run, which may hold records changed since.
XBSTATUS RereadRecordCount(DataFile& file);

// Position of `record` in the handle's record-lock list, or -1.
int FindLocked(const DataFile& file, uint32_t record);

// Appends `record` to the list, growing it by 100 entries when it is full.
// 0 on success; kListFull when 16384 entries are held; the allocator's code
// (status set, line logged) when it cannot grow.
inline constexpr XBSTATUS kListFull = 1;
XBSTATUS AppendLocked(DataFile& file, uint32_t record);

// Removes the entry at `index`; the later entries move down.
void RemoveLockedAt(DataFile& file, int index);

}  // namespace kv::xb::dbf::lock
