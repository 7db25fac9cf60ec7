#include "xbase/build/idx_build_fields.h"

#include <charconv>

namespace kv::xb::bulk {

bool ReadFieldNumber(const uint8_t* bytes, size_t length, double* value) {
  const char* begin = reinterpret_cast<const char*>(bytes);
  const char* end = begin + length;
  while (begin < end && *begin == ' ') ++begin;
  while (end > begin && end[-1] == ' ') --end;
  if (begin == end) {
    *value = 0.0;
    return true;
  }
  // from_chars takes no plus sign and reads in the "C" locale whatever the
  // process's locale is.
  if (*begin == '+') ++begin;
  double v = 0;
  const auto result = std::from_chars(begin, end, v, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  *value = v;
  return true;
}

bool ReadFieldDate(const uint8_t* bytes, size_t length, FieldDate* out) {
  if (length != 8) return false;
  bool blank = true;
  bool digits = true;
  for (size_t i = 0; i < 8; ++i) {
    if (bytes[i] != ' ') blank = false;
    if (bytes[i] < '0' || bytes[i] > '9') digits = false;
  }
  if (blank) {
    out->blank = true;
    return true;
  }
  if (!digits) return false;
  auto number = [bytes](int from, int count) {
    int v = 0;
    for (int i = from; i < from + count; ++i) v = v * 10 + (bytes[i] - '0');
    return v;
  };
  out->blank = false;
  out->ymd.year = number(0, 4);
  out->ymd.month = number(4, 2);
  out->ymd.day = number(6, 2);
  return date::CheckDate(out->ymd) == 0;
}

}  // namespace kv::xb::bulk
