// Numeric and date keys of the NDX and MDX families: the eight bytes of an
// IEEE double as it lies in memory (little-endian). A date key holds a day
// number counted in whole years of 365.25 days; a blank date is 1.0E100, so
// blank dates sort after every real one.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/date/date_core.h"

namespace kv::xb::index {

inline constexpr double kBlankDateKey = 1.0E100;
inline constexpr int kNumericKeyLength = 8;

// trunc((year - 1) x 365.25) + days of the months before + day + 1721410.
double DateKeyDay(date::Ymd date);
// A date with year, month and day 0 is blank.
inline bool BlankDate(date::Ymd date) {
  return date.year == 0 && date.month == 0 && date.day == 0;
}
// The day number of a date key, kBlankDateKey for a blank date.
inline double DateKeyOf(date::Ymd date) {
  return BlankDate(date) ? kBlankDateKey : DateKeyDay(date);
}

// The eight key bytes of `value`.
void PutNumericKey(uint8_t* key, double value);
double GetNumericKey(const uint8_t* key);

// The date key of `text` in `style`: 1.0E100 for an empty date; otherwise
// the status of the date parser (-15 invalid date, -12 unknown style).
XBSTATUS DateKeyFromText(const char* text, int style, double* key);

}  // namespace kv::xb::index
