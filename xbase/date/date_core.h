// Date and time arithmetic and the fifteen date styles, without the engine's
// status bookkeeping: every function returns the status its caller should
// take (0, +2 empty date, -12 unknown style, -15 invalid date, -16 invalid
// time). The exported XBCD and XBCT functions and the data-file conversions
// call these.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"

namespace kv::xb::date {

struct Ymd {
  int year = 0;
  int month = 0;
  int day = 0;
};

inline constexpr int kMinStyle = 1;
inline constexpr int kMaxStyle = 15;
inline constexpr int32_t kDayNumberLimit = 3652060;  // first invalid day number

// Inline: every date read from a data file is checked with these.
inline bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}
// Length of the month in that year (1..12), 0 for a month outside.
inline int DaysInMonth(int year, int month) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeap(year)) return 29;
  return kLengths[month - 1];
}

// Width of the text a style writes: 10, 8 or 6; 0 for an unknown style.
int StyleWidth(int style);
// "Gregorian (mm/dd/yy)" ... ; null for an unknown style.
const char* StyleDescription(int style);

// Parses `text` in `style`. An empty or all-blank text, or one holding only
// the style's separators, gives +2 with zeros. `showLengthBox` lets a style-4
// length error show the "mauvaise Longueur" message box.
int16_t Parse(const char* text, int style, Ymd* out, bool showLengthBox = true);

// Parse for the callers that need a real date (day numbers, weekdays, month
// names): an empty date gives -15 instead of +2.
int16_t ParseDate(const char* text, int style, Ymd* out, bool showLengthBox = true);
// ParseDate, then the date's day number.
int16_t ParseDayNumber(const char* text, int style, int32_t* dayNumber, bool showLengthBox = true);

// Writes the date in the style (NUL-terminated, at most 11 bytes).
int16_t Format(char* out, int style, Ymd date);
// Writes a date given as its eight stored digits "yyyymmdd", which must
// hold a date CheckDate accepts, in the style, as Format writes it, and
// returns the text's width. Returns 0 and writes nothing for a style that
// needs the date's arithmetic (Julian) and for an unknown style: the caller
// then uses Format. Inline, through one formatter per style: every date
// read from a data file is written here.
using StoredDigitFormatter = int (*)(char* out, const char* digits);
extern const std::array<StoredDigitFormatter, kMaxStyle> kStoredDigitFormatters;
inline int FormatStoredDigits(char* out, int style, const char* digits) {
  if (style < kMinStyle || style > kMaxStyle) return 0;
  return kStoredDigitFormatters[static_cast<size_t>(style - kMinStyle)](out, digits);
}

int16_t ToDayNumber(Ymd date, int32_t* dayNumber);
int16_t FromDayNumber(int32_t dayNumber, Ymd* out);

// 0 when year 0..9999, month 1..12 and the day lies in its month; else -15.
inline int16_t CheckDate(Ymd date) {
  if (date.year < 0 || date.year > 9999) return XB_E_DATE;
  if (date.month < 1 || date.month > 12) return XB_E_DATE;
  if (date.day < 1 || date.day > DaysInMonth(date.year, date.month)) return XB_E_DATE;
  return XB_OK;
}
// Day of the year (1..366) of a date that passed CheckDate.
int DayOfYear(Ymd date);
// Day number mod 7, 0 = Sunday; -15 for a day number outside 1..3652059.
int16_t DayOfWeek(int32_t dayNumber, int* dayOfWeek);
// "Sunday" ... "Saturday" for 0..6, "January" ... "December" for 1..12;
// null outside.
const char* DayName(int dayOfWeek);
const char* MonthName(int month);

// Time styles 1 (hh:mm:ss) and 2 (hhmm).
struct Hms {
  int hour = 0;
  int minute = 0;
  int second = 0;
};
int16_t ParseTime(const char* text, int style, Hms* out);
// Writes the time (NUL-terminated, at most 9 bytes).
int16_t FormatTime(char* out, int style, Hms time);

}  // namespace kv::xb::date
