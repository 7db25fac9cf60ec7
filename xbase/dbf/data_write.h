// Pieces of data-file writing shared by the create, put, append and pack
// calls.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/dbf/data_file.h"

namespace kv::xb::dbf {

// Limits that creating a file enforces, by variant (1..9).
struct VariantLimits {
  int maxFields;
  int maxCharLength;
  int maxNumericLength;
  bool decimalsCappedAt15;  // else only "at most length - 2"
  bool floatAllowed;
  int maxRecordLength;
};
const VariantLimits& LimitsOf(int variant);

// Version byte of a new file of `variant`, with or without memo fields.
uint8_t NewFileVersion(int variant, bool hasMemo);

// Writes a whole new data file with no records: `header` (32 bytes, the
// record count, header length and record length already set), `fieldCount`
// descriptors, the terminator (a whole block in variant 9) and the end byte.
// The file is created (or truncated), written and closed; a file that could
// not be written completely is removed again.
XBSTATUS WriteNewFile(const char* path, const uint8_t* header, const uint8_t* descriptors,
                      uint16_t fieldCount, bool terminatorBlock);

// Header length of a file with `fieldCount` fields.
uint32_t NewHeaderLength(uint32_t fieldCount, bool terminatorBlock);

// Today's date in header bytes 1..3.
void StampToday(uint8_t* header);

// Puts a value into field `field` of the record buffer by the field's type
// (`asText`: as character text whatever the type). Texts are read up to
// their NUL, or up to `textLimit` bytes when it is not 0 (the slots of an
// unpacked record). A value that does not fit leaves the field unchanged.
XBSTATUS PutField(DataFile& file, const FieldInfo& field, const void* value, bool asText,
                  size_t textLimit = 0);

// Puts every field of an unpacked record (flag byte first) into the record
// buffer; the first error stops it.
XBSTATUS PutUnpacked(DataFile& file, const uint8_t* record);

// Appends the record buffer as a new record; `*recordNo` receives its number.
XBSTATUS AppendRecord(DataFile& file, uint32_t* recordNo);

// Writes the record buffer over record r (1..count).
XBSTATUS WriteRecord(DataFile& file, uint32_t r);

// Forgets what the read-ahead buffer holds: records written since it was
// filled would otherwise be read stale.
inline void ForgetReadAhead(DataFile& file) {
  file.readAhead.held = 0;
  file.readAhead.first = 0;
}

// Test hooks. `afterAppendRecord` runs, when set, between writing an appended
// record and writing the new record count: crash tests stop the process
// there.
namespace hooks {
extern void (*afterAppendRecord)();
}

}  // namespace kv::xb::dbf
