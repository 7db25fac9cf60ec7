// Reading records and fields.
#include <cstring>

#include "xbase/dbf/data_file.h"
#include "xbase/dbf/field_convert.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"

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

// Reads field `fieldNo` of an open data file as the export returns it.
inline XBSTATUS ReadField(DataFile& file, uint16_t fieldNo, void* value, bool asText) {
  if (value == nullptr) return XB_FAIL(XB_E_NULL);
  const FieldInfo* f = FieldAt(file, fieldNo);
  if (f == nullptr) return Status();
  XBSTATUS s = ConvertField(file, *f, asText ? 'C' : f->type(), value);
  return s < 0 ? s : Status();
}

// A whole field read: entry, selection (which may reopen a quick-closed file
// or refuse the handle), checks, conversion.
[[gnu::noinline]] XBSTATUS GetFieldFully(XBHANDLE handle, uint16_t fieldNo, void* value,
                                         bool asText) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  return ReadField(*file, fieldNo, value, asText);
}

// Inline into each export: reading one field is the call hosts make most.
// The common case (engine started, no sticky error, an open data handle, a
// buffer, a field number in range) converts at once; anything else takes the
// whole path. Nothing between the entry (which cleared the status) and the
// conversion sets a status then, so the conversion's result (0 or its
// error) is the call's.
[[gnu::always_inline]] inline XBSTATUS GetField(XBHANDLE handle, uint16_t fieldNo, void* value,
                                                bool asText) {
  if (ClientContext* c = EnterAtOnce()) [[likely]] {
    Slot* slot = c->handles.Get(handle);
    if (slot != nullptr && slot->type == SlotType::Data && !slot->quickClosed && slot->block &&
        value != nullptr) [[likely]] {
      const DataFile& file = *static_cast<const DataFile*>(slot->block.get());
      if (fieldNo < file.fieldCount) [[likely]] {
        const FieldInfo& f = file.fields()[fieldNo];
        return ConvertField(file, f, asText ? 'C' : f.type(), value);
      }
    }
  }
  return GetFieldFully(handle, fieldNo, value, asText);
}

XBSTATUS GetFieldByName(XBHANDLE handle, const char* name, void* value, bool asText) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const int n = FindField(*file, name);
  if (n < 0) return XB_FAIL(XB_E_FIELD_NAME);
  return ReadField(*file, static_cast<uint16_t>(n), value, asText);
}

}  // namespace

namespace {
// Reads the record into the file's buffer and, given a buffer, unpacks it
// there; the status after a read that went well.
inline XBSTATUS GetRecord(DataFile& file, void* record, uint32_t recordNo) {
  XBSTATUS s = ReadRecord(file, recordNo);
  if (s != 0) return s;
  if (record != nullptr) {
    s = Unpack(file, static_cast<uint8_t*>(record));
    if (s < 0) return s;
  }
  if (file.recordBytes()[0] != ' ') return SetState(XB_DELETED);
  return Status();
}

[[gnu::noinline]] XBSTATUS GetRecordFully(XBHANDLE handle, void* record, uint32_t recordNo) {
  XB_ENTER();
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  return GetRecord(*file, record, recordNo);
}

// As GetField: an open data handle goes straight to the read.
[[gnu::always_inline]] inline XBSTATUS GetRecordAtOnce(XBHANDLE handle, void* record,
                                                       uint32_t recordNo) {
  if (ClientContext* c = EnterAtOnce()) [[likely]] {
    Slot* slot = c->handles.Get(handle);
    if (slot != nullptr && slot->type == SlotType::Data && !slot->quickClosed && slot->block)
        [[likely]]
      return GetRecord(*static_cast<DataFile*>(slot->block.get()), record, recordNo);
  }
  return GetRecordFully(handle, record, recordNo);
}
}  // namespace

KV_API XBSTATUS KV_CALL XBDDRGETX(XBHANDLE handle, void* record, uint32_t recordNo) {
  return GetRecordAtOnce(handle, record, recordNo);
}

KV_API XBSTATUS KV_CALL XBDDRGET(XBHANDLE handle, uint32_t recordNo) {
  return GetRecordAtOnce(handle, nullptr, recordNo);
}

KV_API XBSTATUS KV_CALL XBDDFGET(XBHANDLE handle, uint16_t fieldNo, void* value) {
  return GetField(handle, fieldNo, value, false);
}

KV_API XBSTATUS KV_CALL XBDDFGETS(XBHANDLE handle, uint16_t fieldNo, char* text) {
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
