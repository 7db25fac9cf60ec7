#include "xbase/index/frame/numeric_keys.h"

#include <cstring>

namespace kv::xb::index {

double DateKeyDay(date::Ymd d) {
  // Whole days of the years before, counted as 365.25 each and cut.
  const int64_t years = static_cast<int64_t>((d.year - 1) * 365.25);
  int64_t days = 0;
  for (int m = 1; m < d.month && m <= 12; ++m) days += date::DaysInMonth(d.year, m);
  return static_cast<double>(years + days + d.day + 1721410);
}

void PutNumericKey(uint8_t* key, double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) key[i] = static_cast<uint8_t>(bits >> (8 * i));
}

double GetNumericKey(const uint8_t* key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t{key[i]} << (8 * i);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

XBSTATUS DateKeyFromText(const char* text, int style, double* key) {
  date::Ymd ymd;
  const int16_t s = date::Parse(text, style, &ymd, false);
  if (s == 2) {
    *key = kBlankDateKey;
    return 0;
  }
  if (s != 0) return s;
  *key = DateKeyDay(ymd);
  return 0;
}

}  // namespace kv::xb::index
