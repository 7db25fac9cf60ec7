#include "xbase/dbf/field_convert.h"

#include <cstdint>
#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/number_text.h"

namespace kv::xb::dbf {
namespace {

constexpr const char* kModule = "DFGET";

// True when all eight bytes are decimal digits: each byte's high half is 3
// and adding 6 to it does not carry into that half (no byte above '9').
bool EightDigits(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);  // any byte order: every byte alike
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u, kThrees = 0x3030303030303030u;
  return (word & kHigh) == kThrees && ((word + 0x0606060606060606u) & kHigh) == kThrees;
}

int Digit(uint8_t c) {
  return c - '0';
}

}  // namespace

namespace detail {

XBSTATUS ConvertDateFully(const uint8_t* bytes, uint16_t length, void* out, size_t limit) {
  const int style = Current().dateStyle;
  char text[16];
  if (length == 8 && EightDigits(bytes)) {
    // The common case: the stored digits of a date. They are checked as the
    // style-4 parser would and then written in the caller's style by moving
    // them around its separators.
    const date::Ymd ymd{
        Digit(bytes[0]) * 1000 + Digit(bytes[1]) * 100 + Digit(bytes[2]) * 10 + Digit(bytes[3]),
        Digit(bytes[4]) * 10 + Digit(bytes[5]), Digit(bytes[6]) * 10 + Digit(bytes[7])};
    if (date::CheckDate(ymd) != XB_OK) return XB_FAIL(XB_E_DATE);
    const char* digits = reinterpret_cast<const char*>(bytes);
    // Straight into a buffer that holds any style's text: no copy, and no
    // wide read of bytes just written one by one.
    if (limit == 0 || limit >= kLongestDateText) {
      if (date::FormatStoredDigits(static_cast<char*>(out), style, digits) != 0) return 0;
    }
    int width = date::FormatStoredDigits(text, style, digits);
    if (width == 0) {
      const XBSTATUS s = date::Format(text, style, ymd);
      if (s < 0) return XB_FAIL(s);
      width = static_cast<int>(std::strlen(text));
    }
    PutText(out, text, static_cast<size_t>(width), limit);
    return 0;
  }
  if (IsBlank(bytes, length)) {
    char spaces[16];
    const int width = date::StyleWidth(style) > 0 ? date::StyleWidth(style) : 8;
    std::memset(spaces, ' ', static_cast<size_t>(width));
    PutText(out, spaces, static_cast<size_t>(width), limit);
    return 0;
  }
  // Anything else is read as style 4 from the field's own bytes only.
  char stored[256 + 1];
  const size_t n = length < 256 ? length : 256;
  std::memcpy(stored, bytes, n);
  stored[n] = '\0';
  date::Ymd ymd;
  XBSTATUS s = date::Parse(stored, 4, &ymd);
  if (s == XB_EMPTY_DATE) {
    // Only separators or blanks: the empty date.
    return ConvertDateFully(reinterpret_cast<const uint8_t*>("        "), 8, out, limit);
  }
  if (s < 0) return XB_FAIL(s);
  s = date::Format(text, style, ymd);
  if (s < 0) return XB_FAIL(s);
  PutText(out, text, std::strlen(text), limit);
  return 0;
}

}  // namespace detail

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

namespace detail {

void ConvertLogical(const uint8_t* bytes, uint16_t length, uint8_t* out) {
  if (IsBlank(bytes, length)) {
    *out = '?';
    return;
  }
  switch (bytes[0]) {
    case 0:
    case 'F':
    case 'N':
    case 'f':
    case 'n':
      *out = 0;
      break;
    case 1:
    case 'T':
    case 'Y':
    case 't':
    case 'y':
      *out = 1;
      break;
    default:
      break;  // unknown: the caller's byte stays as it was
  }
}

void ConvertMemoBlock(const uint8_t* bytes, uint16_t length, void* out) {
  const int32_t block =
      IsBlank(bytes, length) ? 0 : ParseInteger(reinterpret_cast<const char*>(bytes), length);
  std::memcpy(out, &block, sizeof block);
}

}  // namespace detail

}  // namespace kv::xb::dbf
