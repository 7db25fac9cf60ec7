#include "xbase/dbf/read_ahead.h"

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::dbf {

constexpr const char* kModule = "DREAD";

XBSTATUS PrepareReadAhead(DataFile& file) {
  ReadAheadBuffer& ra = file.readAhead;
  const uint32_t length = file.recordLength;
  uint32_t capacity;
  if (8 * length >= 512 && 8 * length <= 16384) {
    capacity = 8;
  } else if (8 * length < 512) {
    capacity = 512 / length;
  } else {
    capacity = 16384 / length;
    if (capacity == 0) capacity = 1;  // a record longer than the buffer
  }
  XBSTATUS s = ra.data.Allocate(size_t{capacity} * length);
  if (s == 0) s = ra.offsets.Allocate(sizeof(uint32_t) * capacity);
  if (s != 0) {
    ReleaseReadAhead(file);
    return s;
  }
  for (uint32_t i = 0; i < capacity; ++i) ra.offsets.as<uint32_t>()[i] = i * length;
  ra.bytes = capacity * length;
  ra.capacity = capacity;
  ra.first = 0;
  ra.held = 0;
  return 0;
}

XBSTATUS ReadAheadRecord(DataFile& file, uint32_t r, const uint8_t** record) {
  ReadAheadBuffer& ra = file.readAhead;
  if (ra.capacity == 0) {
    XBSTATUS s = PrepareReadAhead(file);
    if (s != 0) return s;
  }
  if (ra.held == 0 || r < ra.first || r - ra.first >= ra.held) {
    if (r < 1 || r > file.recordCount) return XB_FAIL(XB_E_SEEK);
    uint32_t count = file.recordCount - r + 1;
    if (count > ra.capacity) count = ra.capacity;
    ra.held = 0;
    XBSTATUS s = os::Seek(file.fileNo, file.RecordOffset(r));
    if (s == 0) s = os::Read(file.fileNo, ra.data.data(), size_t{count} * file.recordLength);
    if (s != 0) return s;
    ra.first = r;
    ra.held = count;
  }
  *record = ra.data.data() + ra.offsets.as<uint32_t>()[r - ra.first];
  return 0;
}

void ReleaseReadAhead(DataFile& file) {
  ReadAheadBuffer& ra = file.readAhead;
  ra.data.Free();
  ra.offsets.Free();
  ra.bytes = ra.capacity = ra.first = ra.held = 0;
}

}  // namespace kv::xb::dbf
