// Appending and updating records.
#include <cstring>

#include "xbase/dbf/data_write.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DRPUT";

constexpr uint16_t kModeAppend = 0x0000;
constexpr uint16_t kModeUpdate = 0x0100;
constexpr int kVariant7 = 7;

// Writes what follows the last record: one end byte, or in variant 7 a whole
// record length of them. The end bytes go out with the record in one write
// through the record buffer's spare bytes when they are enough.
XBSTATUS WriteRecordAndEnd(DataFile& file) {
  uint8_t* record = file.recordBytes();
  const size_t length = file.recordLength;
  const bool wholeRecordOfEnds = file.baseVariant() == kVariant7 && length >= 2;
  if (!wholeRecordOfEnds) {
    // The byte after the record is one of the buffer's spare zero bytes.
    record[length] = kEndOfFile;
    XBSTATUS s = os::Write(file.fileNo, record, length + 1, file.flushFlag != 0);
    record[length] = 0;
    return s;
  }
  XBSTATUS s = os::Write(file.fileNo, record, length, file.flushFlag != 0);
  if (s != 0) return s;
  uint8_t ends[512];
  std::memset(ends, kEndOfFile, sizeof ends);
  for (size_t left = length; left > 0;) {
    const size_t piece = left < sizeof ends ? left : sizeof ends;
    if ((s = os::Write(file.fileNo, ends, piece, file.flushFlag != 0)) != 0) return s;
    left -= piece;
  }
  return 0;
}

}  // namespace

namespace kv::xb::dbf {

namespace hooks {
void (*afterAppendRecord)() = nullptr;
}

XBSTATUS AppendRecord(DataFile& file, uint32_t* recordNo) {
  if (file.recordCount == UINT32_MAX) return XB_FAIL(XB_E_SEEK);
  // The count is raised in memory only once the file holds the record and
  // its new count: a failed write leaves both as they were.
  const uint32_t count = file.recordCount + 1;
  file.recordBytes()[0] = ' ';
  ForgetReadAhead(file);
  XBSTATUS s = os::Seek(file.fileNo, file.RecordOffset(count));
  if (s == 0) s = WriteRecordAndEnd(file);
  if (s != 0) return s;
  if (hooks::afterAppendRecord != nullptr) hooks::afterAppendRecord();
  uint8_t countBytes[4];
  PutLE32(countBytes, count);
  s = os::Seek(file.fileNo, kOffRecordCount);
  if (s == 0) s = os::Write(file.fileNo, countBytes, sizeof countBytes, file.flushFlag != 0);
  if (s != 0) return s;
  file.recordCount = count;
  std::memcpy(file.header + kOffRecordCount, countBytes, sizeof countBytes);
  file.modified = true;
  file.currentRecord = count;
  *recordNo = count;
  return 0;
}

XBSTATUS WriteRecord(DataFile& file, uint32_t r) {
  ForgetReadAhead(file);
  XBSTATUS s = os::Seek(file.fileNo, file.RecordOffset(r));
  if (s == 0)
    s = os::Write(file.fileNo, file.recordBytes(), file.recordLength, file.flushFlag != 0);
  return s;
}

}  // namespace kv::xb::dbf

KV_API XBSTATUS KV_CALL XBDDRPUTX(XBHANDLE handle, const void* record, uint32_t* recordNo,
                                  uint16_t mode) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (file->state & kStateReadOnly) return XB_FAIL(XB_E_READONLY);
  if (recordNo == nullptr) return XB_FAIL(XB_E_NULL);
  if (mode != kModeAppend && mode != kModeUpdate) return XB_FAIL(XB_E_ARGUMENT);
  if (record != nullptr) {
    XBSTATUS s = PutUnpacked(*file, static_cast<const uint8_t*>(record));
    if (s < 0) return s;
  }
  if (mode == kModeAppend) {
    XBSTATUS s = AppendRecord(*file, recordNo);
    return s < 0 ? s : Status();
  }
  const uint32_t r = *recordNo;
  file->currentRecord = r;
  if (r < 1 || r > file->recordCount) return XB_FAIL(XB_E_SEEK);
  // An update also undeletes.
  file->recordBytes()[0] = ' ';
  XBSTATUS s = WriteRecord(*file, r);
  if (s < 0) return s;
  file->modified = true;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDRPUT(XBHANDLE handle, uint32_t* recordNo, uint16_t mode) {
  return XBDDRPUTX(handle, nullptr, recordNo, mode);
}
