// Values read straight from a field's bytes in the record buffer, for the
// IDX and NTX builds whose key expression is one numeric or date field.
// Anything these readers do not recognise as a plain number or a valid date
// goes through the expression evaluator instead, so that the key stays the
// one the family's key maker would give.
#pragma once
#include <cstddef>
#include <cstdint>

#include "xbase/date/date_core.h"

namespace kv::xb::bulk {

// The number a numeric field's text holds (blanks around it; all blanks is
// 0); false for any other text.
bool ReadFieldNumber(const uint8_t* bytes, size_t length, double* value);

struct FieldDate {
  bool blank = false;
  date::Ymd ymd;
};

// The date of an 8-byte "yyyymmdd" field, or blank when it is all blanks;
// false for any other text.
bool ReadFieldDate(const uint8_t* bytes, size_t length, FieldDate* out);

}  // namespace kv::xb::bulk
