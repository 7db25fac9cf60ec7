#include "xbase/dbf/field_convert.h"

#include <cstdint>
#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/number_text.h"

namespace kv::xb::dbf {
namespace {

constexpr const char* kModule = "DFGET";

// Writes `text` (n bytes) and a NUL, cut to `limit` bytes with the NUL when
// a limit is given.
void PutText(void* out, const char* text, size_t n, size_t limit) {
  if (limit != 0 && n + 1 > limit) n = limit - 1;
  std::memcpy(out, text, n);
  static_cast<char*>(out)[n] = '\0';
}

bool AllDigits(const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return false;
  }
  return true;
}

int Digits(const uint8_t* bytes, size_t n) {
  int value = 0;
  for (size_t i = 0; i < n; ++i) value = value * 10 + (bytes[i] - '0');
  return value;
}

XBSTATUS ConvertDate(const uint8_t* bytes, uint16_t length, void* out, size_t limit) {
  const int style = Current().dateStyle;
  if (IsBlank(bytes, length)) {
    char spaces[16];
    const int width = date::StyleWidth(style) > 0 ? date::StyleWidth(style) : 8;
    std::memset(spaces, ' ', static_cast<size_t>(width));
    PutText(out, spaces, static_cast<size_t>(width), limit);
    return 0;
  }
  // The stored digits are read as style 4 from the field's own bytes only.
  date::Ymd ymd;
  XBSTATUS s;
  if (length == 8 && AllDigits(bytes, 8)) {
    // What the style-4 parser makes of eight digits, without its copies.
    ymd.year = Digits(bytes, 4);
    ymd.month = Digits(bytes + 4, 2);
    ymd.day = Digits(bytes + 6, 2);
    s = date::CheckDate(ymd) == XB_OK ? XB_OK : XB_E_DATE;
  } else {
    char stored[256 + 1];
    const size_t n = length < 256 ? length : 256;
    std::memcpy(stored, bytes, n);
    stored[n] = '\0';
    s = date::Parse(stored, 4, &ymd);
  }
  if (s == XB_EMPTY_DATE) {
    // Only separators or blanks: the empty date.
    return ConvertDate(reinterpret_cast<const uint8_t*>("        "), 8, out, limit);
  }
  if (s < 0) return XB_FAIL(s);
  char text[16];
  s = date::Format(text, style, ymd);
  if (s < 0) return XB_FAIL(s);
  PutText(out, text, std::strlen(text), limit);
  return 0;
}

}  // namespace

bool IsBlank(const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != ' ') return false;
  }
  return true;
}

size_t UnpackedSize(const FieldInfo& field) {
  switch (field.type()) {
    case 'C':
    case 'D':
      return size_t{field.length} + 1;
    case 'F':
    case 'N':
      return sizeof(double);
    case 'M':
      return sizeof(int32_t);
    default:
      return field.length;
  }
}

XBSTATUS ConvertField(const DataFile& file, const FieldInfo& field, char asType, void* out,
                      size_t outLimit) {
  const uint8_t* bytes = file.recordBytes() + field.offset;
  switch (asType) {
    case 'C':
      PutText(out, reinterpret_cast<const char*>(bytes), field.length, outLimit);
      return 0;
    case 'D':
      return ConvertDate(bytes, field.length, out, outLimit);
    case 'F':
    case 'N': {
      // An all-blank text reads as 0 like any text without digits.
      const double value = ParseDecimal(reinterpret_cast<const char*>(bytes), field.length);
      std::memcpy(out, &value, sizeof value);
      return 0;
    }
    case 'L': {
      uint8_t* result = static_cast<uint8_t*>(out);
      if (IsBlank(bytes, field.length)) {
        *result = '?';
        return 0;
      }
      switch (bytes[0]) {
        case 0:
        case 'F':
        case 'N':
        case 'f':
        case 'n':
          *result = 0;
          break;
        case 1:
        case 'T':
        case 'Y':
        case 't':
        case 'y':
          *result = 1;
          break;
        default:
          break;  // unknown: the caller's byte stays as it was
      }
      return 0;
    }
    case 'M': {
      const int32_t block = IsBlank(bytes, field.length)
                                ? 0
                                : ParseInteger(reinterpret_cast<const char*>(bytes), field.length);
      std::memcpy(out, &block, sizeof block);
      return 0;
    }
    default:
      std::memcpy(out, bytes, field.length);
      return 0;
  }
}

}  // namespace kv::xb::dbf
