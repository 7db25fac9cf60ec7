#include <cstring>

#include "xbase/build/bulk_internal.h"
#include "xbase/dbf/read_ahead.h"

namespace kv::xb::bulk {

XBSTATUS LoadRecord(dbf::DataFile& file, uint32_t r, const char* module) {
  const char* kModule = module;
  const uint8_t* record = nullptr;
  const XBSTATUS s = dbf::ReadAheadRecord(file, r, &record);
  if (s != 0) {
    // A short read leaves -2 without a log line: the build reports it.
    if (Status() >= 0 || s == XB_E_READ) return XB_FAIL(s);
    return s;
  }
  std::memcpy(file.recordBytes(), record, file.recordLength);
  file.currentRecord = r;
  return 0;
}

}  // namespace kv::xb::bulk
