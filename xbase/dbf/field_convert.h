// Converting a stored field to the value handed to the caller.
#pragma once
#include <cstddef>

#include "xbase/dbf/data_file.h"

namespace kv::xb::dbf {

// Converts the field's bytes in the record buffer as type `asType` ('C' for
// the text whatever the field's type, else the field's own type) into `out`.
// `outLimit` bounds what is written for 'C' and 'D' (0: no bound: the caller
// gave a buffer of its own, sized by the rules of the call).
XBSTATUS ConvertField(const DataFile& file, const FieldInfo& field, char asType, void* out,
                      size_t outLimit = 0);

// Bytes a field takes in the unpacked record.
size_t UnpackedSize(const FieldInfo& field);

// True when every byte of the field is a space.
bool IsBlank(const uint8_t* bytes, size_t length);

}  // namespace kv::xb::dbf
