// Information calls on an open data file.
#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DINFO";
}

KV_API XBSTATUS KV_CALL XBDDINFO(XBHANDLE handle, XBFILEINFO* info) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  std::memset(info, 0, sizeof *info);
  info->lockOffset = file->lockOffset;
  info->lockLength = file->lockLength;
  info->openFlags = static_cast<uint16_t>(((file->state & kStateReadOnly) ? 1 : 0) |
                                          ((file->state & kStateShared) ? 2 : 0) |
                                          ((file->state & kStateBit1) ? 4 : 0));
  std::memcpy(info->path, file->path, sizeof info->path - 1);
  info->variant = static_cast<uint16_t>(file->baseVariant());
  info->hasMemo = file->hasMemo() ? 1 : 0;
  info->production = file->header[kOffProduction];
  info->flag14 = file->header[kOffFlag14];
  info->flag15 = file->header[kOffFlag15];
  info->reserved = file->reservedByte;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDFINFO(XBHANDLE handle, uint16_t* longest, XBFIELDDEF* fields) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (longest == nullptr || fields == nullptr) return XB_FAIL(XB_E_NULL);
  *longest = file->longestField;
  for (uint16_t i = 0; i < file->fieldCount; ++i) {
    const FieldInfo& f = file->fields()[i];
    XBFIELDDEF def;
    std::memset(&def, 0, sizeof def);
    std::memcpy(def.name, f.descriptor, kNameBytes);
    def.type = static_cast<uint16_t>(static_cast<uint8_t>(f.type()));
    def.length = f.length;
    def.decimals = f.decimals();
    std::memcpy(&fields[i], &def, sizeof def);
  }
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDFNAM2NO(XBHANDLE handle, uint16_t* fieldNo, const char* name) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (fieldNo == nullptr || name == nullptr) return XB_FAIL(XB_E_NULL);
  const int n = FindField(*file, name);
  if (n < 0) {
    *fieldNo = file->fieldCount;
    return XB_FAIL(XB_E_FIELD_NAME);
  }
  *fieldNo = static_cast<uint16_t>(n);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDFNO2NAM(XBHANDLE handle, char* name, uint16_t fieldNo) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const FieldInfo* f = CheckField(*file, fieldNo);
  if (f == nullptr) return Status();
  std::memcpy(name, f->name(), kNameBytes + 1);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDRNUM(XBHANDLE handle, uint32_t* recordNo) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (recordNo == nullptr) return XB_FAIL(XB_E_NULL);
  *recordNo = file->currentRecord;
  return SetState(0);
}

KV_API XBSTATUS KV_CALL XBDDSIZE(XBHANDLE handle, uint32_t* count) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (count == nullptr) return XB_FAIL(XB_E_NULL);
  *count = file->recordCount;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDHGET(XBHANDLE handle) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  uint8_t count[4];
  XBSTATUS s = os::Seek(file->fileNo, kOffRecordCount);
  if (s == 0) s = os::Read(file->fileNo, count, sizeof count);
  if (s != 0) return s;
  std::memcpy(file->header + kOffRecordCount, count, sizeof count);
  file->recordCount = GetLE32(count);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDLUD(XBHANDLE handle, char* date, uint16_t style) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (date == nullptr) return XB_FAIL(XB_E_NULL);
  date::Ymd ymd{1900 + file->header[kOffUpdateYear], file->header[kOffUpdateYear + 1],
                file->header[kOffUpdateYear + 2]};
  XBSTATUS s = date::Format(date, style, ymd);
  if (s < 0) return XB_FAIL(s);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDRINFO(XBHANDLE handle, XBRECINFO* info) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  info->recordLength = file->recordLength;
  info->fieldCount = file->fieldCount;
  info->buffer = file->recordBytes();
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDRINFOH(XBHANDLE handle, XBRECINFOH* info) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  info->recordLength = file->recordLength;
  info->fieldCount = file->fieldCount;
  info->buffer = file->record.handle();
  return Status();
}
