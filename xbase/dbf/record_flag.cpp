// Deleting, undeleting and clearing records, and the flush call.
#include <cstring>

#include "xbase/dbf/data_write.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DRDEL";

XBSTATUS SetFlag(XBHANDLE handle, uint32_t r, uint8_t flag) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (file->state & kStateReadOnly) return XB_FAIL(XB_E_READONLY);
  if (r < 1 || r > file->recordCount) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = os::Seek(file->fileNo, file->RecordOffset(r));
  if (s == 0) s = os::Read(file->fileNo, file->recordBytes(), file->recordLength);
  if (s != 0) {
    // No partial record stays in the buffer under a record number.
    std::memset(file->recordBytes(), ' ', file->recordLength);
    file->currentRecord = 0;
    return s;
  }
  file->currentRecord = r;
  file->modified = true;
  if (file->recordBytes()[0] == flag) return Status();
  file->recordBytes()[0] = flag;
  s = WriteRecord(*file, r);
  return s < 0 ? s : Status();
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDRDEL(XBHANDLE handle, uint32_t recordNo) {
  XB_ENTER();
  return SetFlag(handle, recordNo, '*');
}

KV_API XBSTATUS KV_CALL XBDDRUNDEL(XBHANDLE handle, uint32_t recordNo) {
  XB_ENTER();
  return SetFlag(handle, recordNo, ' ');
}

KV_API XBSTATUS KV_CALL XBDDRCLEAR(XBHANDLE handle) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  std::memset(file->recordBytes(), ' ', file->recordLength);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDFLUSH(XBHANDLE handle) {
  XB_ENTER();
  // Writes go to the file at once; there is nothing to flush.
  if (SelectData(handle) == nullptr) return Status();
  return SetState(XB_FLUSH_NOOP);
}
