// Putting values into the fields of the record buffer.
#include <charconv>
#include <cmath>
#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/dbf/data_write.h"
#include "xbase/dbf/field_convert.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/number_text.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DFPUT";

// Length of a caller's text: up to its NUL, and within `limit` bytes when a
// limit is given (an unpacked record's slot need not hold a NUL).
size_t TextLength(const char* text, size_t limit) {
  if (limit == 0) return std::strlen(text);
  const void* nul = std::memchr(text, '\0', limit);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : limit;
}

XBSTATUS PutText(uint8_t* bytes, uint16_t length, const char* text, size_t limit) {
  const size_t n = TextLength(text, limit);
  std::memset(bytes, ' ', length);
  std::memcpy(bytes, text, n < length ? n : length);
  if (n > length) SetState(XB_CUT);
  return 0;
}

bool AllSpaces(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

XBSTATUS PutDate(uint8_t* bytes, uint16_t length, const char* text, size_t limit) {
  size_t n = TextLength(text, limit);
  if (AllSpaces(text, n)) {
    std::memset(bytes, ' ', length);
    return 0;
  }
  // The date parser wants a NUL-terminated text; no date style is longer
  // than a few characters, so a longer text is no date anyway.
  char copy[64];
  if (n >= sizeof copy) n = sizeof copy - 1;
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  date::Ymd ymd;
  XBSTATUS s = date::Parse(copy, Current().dateStyle, &ymd);
  if (s == XB_EMPTY_DATE) {
    std::memset(bytes, ' ', length);
    return 0;
  }
  if (s < 0) return XB_FAIL(s);
  char digits[16];
  s = date::Format(digits, 4, ymd);
  if (s < 0) return XB_FAIL(s);
  const size_t d = std::strlen(digits);
  std::memset(bytes, ' ', length);
  std::memcpy(bytes, digits, d < length ? d : length);
  return 0;
}

// Formats `value` in fixed notation with `decimals` digits after the point.
// Returns the text length, or 0 when the value has no such text within
// `capacity` (infinities, NaN, numbers too long for any field).
size_t FixedText(double value, int decimals, char* out, size_t capacity) {
  if (!std::isfinite(value)) return 0;
  const auto result = std::to_chars(out, out + capacity, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return 0;
  size_t n = static_cast<size_t>(result.ptr - out);
  // A negative value that rounds to zero is stored as zero: "-0.00" needs a
  // column more than the field may have and means the same.
  if (n > 0 && out[0] == '-') {
    bool zero = true;
    for (size_t i = 1; i < n && zero; ++i) zero = out[i] == '0' || out[i] == '.';
    if (zero) {
      std::memmove(out, out + 1, n - 1);
      --n;
    }
  }
  return n;
}

XBSTATUS PutNumber(uint8_t* bytes, const FieldInfo& field, double value) {
  // The widest text a field can take is 255 characters; every finite double
  // with up to 255 decimals fits in this buffer, and to_chars never writes
  // beyond it.
  char text[320 + 256];
  const size_t n = FixedText(value, field.decimals(), text, sizeof text);
  // The text must fit the field's width: a value whose text is longer (a
  // negative number with as many digits as the field has columns) would
  // otherwise be stored cut, as another number.
  if (n == 0 || n > field.length) return XB_FAIL(XB_E_VALUE);
  const double stored = ParseDecimal(text, n);
  if (stored > field.largest) return XB_FAIL(XB_E_VALUE);
  std::memset(bytes, ' ', field.length - n);
  std::memcpy(bytes + (field.length - n), text, n);
  if (stored != value) SetState(XB_ROUNDED);
  return 0;
}

XBSTATUS PutLogical(uint8_t* bytes, uint16_t length, uint8_t value) {
  char stored;
  switch (value) {
    case 0x01:
    case 'T':
    case 'Y':
    case 't':
    case 'y':
      stored = 'T';
      break;
    case 0x00:
    case 'F':
    case 'N':
    case 'f':
    case 'n':
      stored = 'F';
      break;
    default:
      return XB_FAIL(XB_E_VALUE);
  }
  std::memset(bytes, ' ', length);
  bytes[0] = static_cast<uint8_t>(stored);
  return 0;
}

XBSTATUS PutMemoBlock(uint8_t* bytes, uint16_t length, uint32_t block) {
  // Ten characters right-aligned ("%10lu"); the number must read back.
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, block);
  const size_t n = static_cast<size_t>(result.ptr - digits);
  if (n > length || ParseInteger(digits, n) != static_cast<int64_t>(block))
    return XB_FAIL(XB_E_VALUE);
  std::memset(bytes, ' ', length);
  std::memcpy(bytes + (length - n), digits, n);
  return 0;
}

XBSTATUS PutByNumber(XBHANDLE handle, uint16_t fieldNo, const void* value, bool asText) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (value == nullptr) return XB_FAIL(XB_E_NULL);
  const FieldInfo* f = CheckField(*file, fieldNo);
  if (f == nullptr) return Status();
  XBSTATUS s = PutField(*file, *f, value, asText);
  return s < 0 ? s : Status();
}

XBSTATUS PutByName(XBHANDLE handle, const char* name, const void* value, bool asText) {
  DataFile* file = SelectData(handle);
  if (file == nullptr) return Status();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  const int n = FindField(*file, name);
  if (n < 0) return XB_FAIL(XB_E_FIELD_NAME);
  return PutByNumber(handle, static_cast<uint16_t>(n), value, asText);
}

}  // namespace

namespace kv::xb::dbf {

XBSTATUS PutField(DataFile& file, const FieldInfo& field, const void* value, bool asText,
                  size_t textLimit) {
  uint8_t* bytes = file.recordBytes() + field.offset;
  const char* text = static_cast<const char*>(value);
  if (asText) return PutText(bytes, field.length, text, textLimit);
  switch (field.type()) {
    case 'C':
      return PutText(bytes, field.length, text, textLimit);
    case 'D':
      return PutDate(bytes, field.length, text, textLimit);
    case 'F':
    case 'N': {
      double number;
      std::memcpy(&number, value, sizeof number);
      return PutNumber(bytes, field, number);
    }
    case 'L':
      return PutLogical(bytes, field.length, *static_cast<const uint8_t*>(value));
    case 'M': {
      uint32_t block;
      std::memcpy(&block, value, sizeof block);
      return PutMemoBlock(bytes, field.length, block);
    }
    default:
      std::memcpy(bytes, value, field.length);
      return 0;
  }
}

XBSTATUS PutUnpacked(DataFile& file, const uint8_t* record) {
  file.recordBytes()[0] = record[0];
  size_t at = 1;
  for (uint16_t i = 0; i < file.fieldCount; ++i) {
    const FieldInfo& f = file.fields()[i];
    const size_t size = UnpackedSize(f);
    const bool text = f.type() == 'C' || f.type() == 'D';
    XBSTATUS s = PutField(file, f, record + at, false, text ? size : 0);
    if (s < 0) return s;
    at += size;
  }
  return 0;
}

}  // namespace kv::xb::dbf

KV_API XBSTATUS KV_CALL XBDDFPUT(XBHANDLE handle, uint16_t fieldNo, const void* value) {
  XB_ENTER();
  return PutByNumber(handle, fieldNo, value, false);
}

KV_API XBSTATUS KV_CALL XBDDFPUTS(XBHANDLE handle, uint16_t fieldNo, const char* text) {
  XB_ENTER();
  return PutByNumber(handle, fieldNo, text, true);
}

KV_API XBSTATUS KV_CALL XBDDFNPUT(XBHANDLE handle, const char* name, const void* value) {
  XB_ENTER();
  return PutByName(handle, name, value, false);
}

KV_API XBSTATUS KV_CALL XBDDFNPUTS(XBHANDLE handle, const char* name, const char* text) {
  XB_ENTER();
  return PutByName(handle, name, text, true);
}
