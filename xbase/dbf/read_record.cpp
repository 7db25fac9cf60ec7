// Reading records and fields.
#include <cstring>

#include "xbase/dbf/data_file.h"
#include "xbase/dbf/field_convert.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DRGET";

// Reads record r into the record buffer and makes it current.
XBSTATUS ReadRecord(DataFile& file, uint32_t r) {
  if (r < 1 || r > file.recordCount) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = os::ReadAt(file.fileNo, file.view, file.RecordOffset(r), file.recordBytes(),
                          file.recordLength);
  if (s != 0) {
    // The buffer must not keep a partial record under the old number.
    std::memset(file.recordBytes(), ' ', file.recordLength);
    file.currentRecord = 0;
    return s;
  }
  file.currentRecord = r;
  return 0;
}

// Copies the flag and each field, converted by its type, in the unpacked
// layout. A date slot is its field length + 1 bytes: a date style wider than
// 8 characters is cut to the slot rather than written over the next field.
XBSTATUS Unpack(const DataFile& file, uint8_t* out) {
  out[0] = file.recordBytes()[0];
  size_t at = 1;
  for (uint16_t i = 0; i < file.fieldCount; ++i) {
    const FieldInfo& f = file.fields()[i];
    const size_t size = UnpackedSize(f);
    XBSTATUS s = ConvertField(file, f, f.type(), out + at, f.type() == 'D' ? size : 0);
    if (s < 0) return s;
    at += size;
  }
  return 0;
}

// Inline into each export: reading one field is the call hosts make most.
[[gnu::always_inline]] inline XBSTATUS GetField(XBHANDLE handle, uint16_t fieldNo, void* value,
                                                bool asText) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (value == nullptr) return XB_FAIL(XB_E_NULL);
  const FieldInfo* f = FieldAt(*file, fieldNo);
  if (f == nullptr) return Status();
  XBSTATUS s = ConvertField(*file, *f, asText ? 'C' : f->type(), value);
  return s < 0 ? s : Status();
}

XBSTATUS GetFieldByName(XBHANDLE handle, const char* name, void* value, bool asText) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const int n = FindField(*file, name);
  if (n < 0) return XB_FAIL(XB_E_FIELD_NAME);
  return GetField(handle, static_cast<uint16_t>(n), value, asText);
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDRGETX(XBHANDLE handle, void* record, uint32_t recordNo) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  XBSTATUS s = ReadRecord(*file, recordNo);
  if (s != 0) return s;
  if (record != nullptr) {
    s = Unpack(*file, static_cast<uint8_t*>(record));
    if (s < 0) return s;
  }
  if (file->recordBytes()[0] != ' ') return SetState(XB_DELETED);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDDRGET(XBHANDLE handle, uint32_t recordNo) {
  return XBDDRGETX(handle, nullptr, recordNo);
}

KV_API XBSTATUS KV_CALL XBDDFGET(XBHANDLE handle, uint16_t fieldNo, void* value) {
  XB_ENTER();
  return GetField(handle, fieldNo, value, false);
}

KV_API XBSTATUS KV_CALL XBDDFGETS(XBHANDLE handle, uint16_t fieldNo, char* text) {
  XB_ENTER();
  return GetField(handle, fieldNo, text, true);
}

KV_API XBSTATUS KV_CALL XBDDFNGET(XBHANDLE handle, const char* name, void* value) {
  XB_ENTER();
  return GetFieldByName(handle, name, value, false);
}

KV_API XBSTATUS KV_CALL XBDDFNGETS(XBHANDLE handle, const char* name, char* text) {
  XB_ENTER();
  return GetFieldByName(handle, name, text, true);
}

KV_API XBSTATUS KV_CALL XBDDRSTAT(XBHANDLE handle) {
  XB_ENTER(Warnings::Keep);
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (file->recordBytes()[0] == '*') return SetState(XB_DELETED);
  return Status();
}
