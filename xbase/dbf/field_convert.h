// Converting a stored field to the value handed to the caller.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/number_text.h"

namespace kv::xb::dbf {

namespace detail {
// The conversions of ConvertField, one per stored type.
// Any date field's bytes: blanks, text read as style 4, errors.
XBSTATUS ConvertDateFully(const uint8_t* bytes, uint16_t length, void* out, size_t limit);
void ConvertLogical(const uint8_t* bytes, uint16_t length, uint8_t* out);
void ConvertMemoBlock(const uint8_t* bytes, uint16_t length, void* out);

// Writes `text` (n bytes) and a NUL, cut to `limit` bytes with the NUL when
// a limit is given.
inline void PutText(void* out, const char* text, size_t n, size_t limit) {
  if (limit != 0 && n + 1 > limit) n = limit - 1;
  char* to = static_cast<char*>(out);
  // Field texts are short: two fixed-size copies that overlap in the middle
  // cost less than a call to the general copy.
  if (n >= 16 && n <= 32) {
    std::memcpy(to, text, 16);
    std::memcpy(to + n - 16, text + n - 16, 16);
  } else if (n >= 8 && n < 16) {
    std::memcpy(to, text, 8);
    std::memcpy(to + n - 8, text + n - 8, 8);
  } else {
    std::memcpy(to, text, n);
  }
  to[n] = '\0';
}
// The longest text of any date style and its NUL.
inline constexpr size_t kLongestDateText = 11;

// The days of each month in a leap year: a stored day up to its month's
// entry exists in every year but for 29 February, which the full path
// checks.
inline constexpr uint8_t kMostDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The eight stored digits "yyyymmdd" of a date that exists, other than 29
// February: true when they may be written at once. Every byte a digit: its
// high half is 3 and adding 6 does not carry into that half (no byte above
// '9'); any byte order, every byte alike.
inline bool PlainStoredDate(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u, kThrees = 0x3030303030303030u;
  if ((word & kHigh) != kThrees || ((word + 0x0606060606060606u) & kHigh) != kThrees) return false;
  const unsigned month = (bytes[4] - '0') * 10u + (bytes[5] - '0');
  const unsigned day = (bytes[6] - '0') * 10u + (bytes[7] - '0');
  return month - 1 < 12 && day - 1 < kMostDaysInMonth[month - 1] && !(month == 2 && day == 29);
}

// A date field as its text in the caller's style. The common case, a stored
// date written into a buffer that holds any style's text, goes straight to
// the style's formatter; the rest takes the full path.
inline XBSTATUS ConvertDate(const uint8_t* bytes, uint16_t length, void* out, size_t limit) {
  if (length == 8 && (limit == 0 || limit >= kLongestDateText) && PlainStoredDate(bytes) &&
      date::FormatStoredDigits(static_cast<char*>(out), Current().dateStyle,
                               reinterpret_cast<const char*>(bytes)) != 0) [[likely]]
    return 0;
  return ConvertDateFully(bytes, length, out, limit);
}
}  // namespace detail

// Converts the field's bytes in the record buffer as type `asType` ('C' for
// the text whatever the field's type, else the field's own type) into `out`.
// `outLimit` bounds what is written for 'C' and 'D' (0: no bound: the caller
// gave a buffer of its own, sized by the rules of the call). Inline: every
// field read passes here, and the dispatch is most of what a text costs.
inline XBSTATUS ConvertField(const DataFile& file, const FieldInfo& field, char asType, void* out,
                             size_t outLimit = 0) {
  const uint8_t* bytes = file.recordBytes() + field.offset;
  switch (asType) {
    case 'C':
      detail::PutText(out, reinterpret_cast<const char*>(bytes), field.length, outLimit);
      return 0;
    case 'D':
      return detail::ConvertDate(bytes, field.length, out, outLimit);
    case 'F':
    case 'N': {
      // An all-blank text reads as 0 like any text without digits.
      ParseFieldDecimalInto(reinterpret_cast<const char*>(bytes), field.length,
                            field.descriptor[kOffFieldDecimals], out);
      return 0;
    }
    case 'L':
      detail::ConvertLogical(bytes, field.length, static_cast<uint8_t*>(out));
      return 0;
    case 'M':
      detail::ConvertMemoBlock(bytes, field.length, out);
      return 0;
    default:
      std::memcpy(out, bytes, field.length);
      return 0;
  }
}

// Bytes a field takes in the unpacked record.
size_t UnpackedSize(const FieldInfo& field);

// True when every byte of the field is a space.
bool IsBlank(const uint8_t* bytes, size_t length);

}  // namespace kv::xb::dbf
