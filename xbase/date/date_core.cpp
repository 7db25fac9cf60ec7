// The fifteen date styles, day numbers and the two time styles.
//
// Every style is described once by the positions and widths of its fields;
// the same positions serve for writing and for reading the space-stripped
// copy of a given text, so the two directions cannot drift apart.
#include "xbase/date/date_core.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <utility>

#include "kv/xbase.h"
#include "platform/ui/message_box.h"

namespace kv::xb::date {
namespace {

enum class Field : uint8_t { Year, ShortYear, Month, Day, DayOfYear };

struct FieldAt {
  Field field;
  int position;  // first character, in the written text and in the stripped copy
  int width;
};

struct Style {
  const char* description;
  char separator;  // written between the fields; 0 for none
  int fieldCount;
  FieldAt fields[3];
  // Length of the text as given, spaces counted. Style 4 instead needs
  // kStrippedLength characters once its spaces are removed.
  int minLength;
  int maxLength;
  bool checkStrippedLength;
};

constexpr int kStrippedLength = 8;

constexpr FieldAt kMdy2[] = {{Field::Month, 0, 2}, {Field::Day, 3, 2}, {Field::ShortYear, 6, 2}};
constexpr FieldAt kMdy4[] = {{Field::Month, 0, 2}, {Field::Day, 3, 2}, {Field::Year, 6, 4}};
constexpr FieldAt kDmy2[] = {{Field::Day, 0, 2}, {Field::Month, 3, 2}, {Field::ShortYear, 6, 2}};
constexpr FieldAt kDmy4[] = {{Field::Day, 0, 2}, {Field::Month, 3, 2}, {Field::Year, 6, 4}};

constexpr Style kStyles[kMaxStyle] = {
    {"Gregorian (mm/dd/yy)", '/', 3, {kMdy2[0], kMdy2[1], kMdy2[2]}, 6, 8, false},
    {"Gregorian (mm/dd/yyyy)", '/', 3, {kMdy4[0], kMdy4[1], kMdy4[2]}, 8, 10, false},
    {"Julian (yyyy/ddd)", '/', 2, {{Field::Year, 0, 4}, {Field::DayOfYear, 5, 3}, {}}, 8, 8, false},
    {"dBASE (yyyymmdd)",
     0,
     3,
     {{Field::Year, 0, 4}, {Field::Month, 4, 2}, {Field::Day, 6, 2}},
     0,
     0,
     true},
    {"DMY (ddmmyy)",
     0,
     3,
     {{Field::Day, 0, 2}, {Field::Month, 2, 2}, {Field::ShortYear, 4, 2}},
     6,
     6,
     false},
    {"German (dd.mm.yy)", '.', 3, {kDmy2[0], kDmy2[1], kDmy2[2]}, 6, 8, false},
    {"German (dd.mm.yyyy)", '.', 3, {kDmy4[0], kDmy4[1], kDmy4[2]}, 8, 10, false},
    {"British (dd/mm/yy)", '/', 3, {kDmy2[0], kDmy2[1], kDmy2[2]}, 6, 8, false},
    {"British (dd/mm/yyyy)", '/', 3, {kDmy4[0], kDmy4[1], kDmy4[2]}, 8, 10, false},
    {"French (dd/mm/yy)", '/', 3, {kDmy2[0], kDmy2[1], kDmy2[2]}, 6, 8, false},
    {"French (dd/mm/yyyy)", '/', 3, {kDmy4[0], kDmy4[1], kDmy4[2]}, 8, 10, false},
    {"Italian (dd-mm-yy)", '-', 3, {kDmy2[0], kDmy2[1], kDmy2[2]}, 6, 8, false},
    {"Italian (dd-mm-yyyy)", '-', 3, {kDmy4[0], kDmy4[1], kDmy4[2]}, 8, 10, false},
    {"ENSI (yy.mm.dd)",
     '.',
     3,
     {{Field::ShortYear, 0, 2}, {Field::Month, 3, 2}, {Field::Day, 6, 2}},
     6,
     8,
     false},
    {"ENSI (yyyy.mm.dd)",
     '.',
     3,
     {{Field::Year, 0, 4}, {Field::Month, 5, 2}, {Field::Day, 8, 2}},
     8,
     10,
     false},
};

const Style* FindStyle(int style) {
  if (style < kMinStyle || style > kMaxStyle) return nullptr;
  return &kStyles[style - kMinStyle];
}

// Where each character of a style's text comes from when the date is given
// as its eight stored digits (yyyymmdd): every style but the Julian one is
// those digits rearranged around its separators, so a data-file read can
// write a date without parsing it into numbers and printing them again.
//
// Texts of 8 and 10 characters are also put together as two 64-bit words
// (characters 0..7 and 8..15, the first character lowest): the separators in
// place, then each run of digits shifted from the stored digits into place.
struct DigitRun {
  uint8_t from = 0;   // bit shift of the run's first stored digit
  uint8_t to = 0;     // bit shift of its place in the word
  bool high = false;  // in the word of characters 8..15
  uint64_t mask = 0;  // the run's bytes, at the bottom; 0 for an unused run
};
struct DigitLayout {
  int width = 0;  // 0: the style needs arithmetic (day of the year)
  char separator = 0;
  // Index into the stored digits, or kSeparatorAt for the separator.
  uint8_t from[10] = {};
  uint64_t separatorsLow = 0, separatorsHigh = 0;
  DigitRun runs[4] = {};  // a run across characters 7 and 8 takes two
};
constexpr uint8_t kSeparatorAt = 8;

// Adds the runs of digits and the separators to a layout whose `from` is set.
constexpr void AddDigitRuns(DigitLayout& layout) {
  int count = 0;
  for (int i = 0; i < layout.width;) {
    if (layout.from[i] == kSeparatorAt) {
      const uint64_t byte = static_cast<uint8_t>(layout.separator);
      if (i < 8) {
        layout.separatorsLow |= byte << (8 * i);
      } else {
        layout.separatorsHigh |= byte << (8 * (i - 8));
      }
      ++i;
      continue;
    }
    // A run: consecutive stored digits, not crossing from character 7 to 8.
    int n = 1;
    while (i + n < layout.width && i + n != 8 && layout.from[i + n] != kSeparatorAt &&
           layout.from[i + n] == layout.from[i] + n)
      ++n;
    DigitRun& run = layout.runs[count++];
    run.from = static_cast<uint8_t>(8 * layout.from[i]);
    run.high = i >= 8;
    run.to = static_cast<uint8_t>(8 * (i >= 8 ? i - 8 : i));
    run.mask = n == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
    i += n;
  }
}

constexpr DigitLayout MakeDigitLayout(const Style& s) {
  DigitLayout layout;
  const FieldAt& last = s.fields[s.fieldCount - 1];
  layout.width = last.position + last.width;
  layout.separator = s.separator;
  for (int i = 0; i < layout.width; ++i) layout.from[i] = kSeparatorAt;
  for (int k = 0; k < s.fieldCount; ++k) {
    const FieldAt& f = s.fields[k];
    int first = 0;  // first stored digit of the field's value
    switch (f.field) {
      case Field::Year:
        first = 0;
        break;
      case Field::ShortYear:
        first = 2;  // the year modulo 100: its last two digits
        break;
      case Field::Month:
        first = 4;
        break;
      case Field::Day:
        first = 6;
        break;
      case Field::DayOfYear:
        return DigitLayout{};
    }
    for (int j = 0; j < f.width; ++j) layout.from[f.position + j] = static_cast<uint8_t>(first + j);
  }
  AddDigitRuns(layout);
  return layout;
}

constexpr auto MakeDigitLayouts() {
  struct Layouts {
    DigitLayout style[kMaxStyle];
  } all;
  for (int i = 0; i < kMaxStyle; ++i) all.style[i] = MakeDigitLayout(kStyles[i]);
  return all;
}

constexpr auto kDigitLayouts = MakeDigitLayouts();

constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

int YearLength(int year) {
  return IsLeap(year) ? 366 : 365;
}

// Days in the first `years` whole years of the calendar (years 1..years).
// Floor division keeps the count right for years <= 0 as well.
int64_t DaysInWholeYears(int64_t years) {
  auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  return 365 * years + floorDiv(years, 4) - floorDiv(years, 100) + floorDiv(years, 400);
}

// Writes `value` (>= 0) as exactly `width` digits, keeping the low ones.
void WriteDigits(char* at, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// Reads a decimal number from [position, position + width) of `text`
// (length `length`), stopping at the first non-digit or at the end.
// Reads up to `width` digits at `position`; `*digits` receives how many.
int ReadDigits(const char* text, size_t length, int position, int width, int* digits) {
  int value = 0;
  *digits = 0;
  for (int i = position; i < position + width; ++i) {
    if (static_cast<size_t>(i) >= length) break;
    char c = text[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    ++*digits;
  }
  return value;
}

bool IsBlank(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != ' ') return false;
  }
  return true;
}

// The stripped copy needs at most 10 characters once the length checks pass;
// the buffer keeps a few more so that a longer copy is seen as longer.
constexpr size_t kCopyBytes = 16;

struct StrippedCopy {
  char text[kCopyBytes] = {};
  size_t kept = 0;         // characters held in `text`
  size_t fullLength = 0;   // non-space characters of the whole text
  size_t givenLength = 0;  // length of the whole text, spaces counted
};

StrippedCopy StripSpaces(const char* text, bool backslashIsSlash) {
  StrippedCopy copy;
  for (const char* p = text; *p != '\0'; ++p) {
    ++copy.givenLength;
    if (*p == ' ') continue;
    ++copy.fullLength;
    if (copy.kept + 1 < kCopyBytes) {
      copy.text[copy.kept++] = (backslashIsSlash && *p == '\\') ? '/' : *p;
    }
  }
  return copy;
}

// True when the stripped copy is exactly the style's separators, which is
// how a blank date written with its separators comes back.
bool IsSeparatorsOnly(const StrippedCopy& copy, const Style& style) {
  if (style.separator == 0) return false;
  size_t separators = static_cast<size_t>(style.fieldCount - 1);
  if (copy.fullLength != separators) return false;
  for (size_t i = 0; i < copy.kept; ++i) {
    if (copy.text[i] != style.separator) return false;
  }
  return true;
}

}  // namespace

int StyleWidth(int style) {
  const Style* s = FindStyle(style);
  if (s == nullptr) return 0;
  const FieldAt& last = s->fields[s->fieldCount - 1];
  return last.position + last.width;
}

const char* StyleDescription(int style) {
  const Style* s = FindStyle(style);
  return s == nullptr ? nullptr : s->description;
}

int DayOfYear(Ymd date) {
  int days = date.day;
  for (int month = 1; month < date.month; ++month) days += DaysInMonth(date.year, month);
  return days;
}

int16_t Parse(const char* text, int style, Ymd* out, bool showLengthBox) {
  if (text == nullptr || out == nullptr) return XB_E_NULL;
  *out = Ymd{};
  if (IsBlank(text)) return XB_EMPTY_DATE;
  const Style* s = FindStyle(style);
  if (s == nullptr) return XB_E_ARGUMENT;

  StrippedCopy copy = StripSpaces(text, style >= 1 && style <= 3);
  if (s->checkStrippedLength) {
    if (copy.fullLength != kStrippedLength) {
      if (showLengthBox) kvp::MessageBoxA(nullptr, "mauvaise Longueur", text, kvp::MB_OK);
      return XB_E_DATE;
    }
  } else if (copy.givenLength < static_cast<size_t>(s->minLength) ||
             copy.givenLength > static_cast<size_t>(s->maxLength)) {
    return XB_E_DATE;
  }
  if (IsSeparatorsOnly(copy, *s)) return XB_EMPTY_DATE;

  Ymd date;
  int dayOfYear = 0;
  int yearDigits = 0;
  for (int i = 0; i < s->fieldCount; ++i) {
    const FieldAt& f = s->fields[i];
    int digits = 0;
    int value = ReadDigits(copy.text, copy.kept, f.position, f.width, &digits);
    switch (f.field) {
      case Field::Year:
      case Field::ShortYear:
        date.year = value;
        yearDigits = digits;
        break;
      case Field::Month:
        date.month = value;
        break;
      case Field::Day:
        date.day = value;
        break;
      case Field::DayOfYear:
        dayOfYear = value;
        break;
    }
  }
  // Years written with two digits (or fewer) belong to the 1900s; a year
  // written with four digits is taken as written, so "00010101" is the
  // first of January of year 1, as every other reader of data files has it.
  if (yearDigits <= 2 && date.year >= 0 && date.year <= 99) date.year += 1900;

  if (style == 3) {
    int month = 1;
    while (month <= 12 && dayOfYear > DaysInMonth(date.year, month)) {
      dayOfYear -= DaysInMonth(date.year, month);
      ++month;
    }
    if (month > 12) return XB_E_DATE;
    date.month = month;
    date.day = dayOfYear;
  }

  if (CheckDate(date) != XB_OK) return XB_E_DATE;
  *out = date;
  return XB_OK;
}

int16_t ParseDate(const char* text, int style, Ymd* out, bool showLengthBox) {
  int16_t status = Parse(text, style, out, showLengthBox);
  return status == XB_EMPTY_DATE ? XB_E_DATE : status;
}

int16_t ParseDayNumber(const char* text, int style, int32_t* dayNumber, bool showLengthBox) {
  if (dayNumber == nullptr) return XB_E_NULL;
  Ymd date;
  int16_t status = ParseDate(text, style, &date, showLengthBox);
  if (status != XB_OK) return status;
  return ToDayNumber(date, dayNumber);
}

int16_t Format(char* out, int style, Ymd date) {
  if (out == nullptr) return XB_E_NULL;
  if (CheckDate(date) != XB_OK) return XB_E_DATE;
  const Style* s = FindStyle(style);
  if (s == nullptr) return XB_E_ARGUMENT;

  int width = StyleWidth(style);
  std::memset(out, s->separator, static_cast<size_t>(width));
  for (int i = 0; i < s->fieldCount; ++i) {
    const FieldAt& f = s->fields[i];
    int value = 0;
    switch (f.field) {
      case Field::Year:
        value = date.year;
        break;
      case Field::ShortYear:
        value = date.year % 100;
        break;
      case Field::Month:
        value = date.month;
        break;
      case Field::Day:
        value = date.day;
        break;
      case Field::DayOfYear:
        value = DayOfYear(date);
        break;
    }
    WriteDigits(out + f.position, value, f.width);
  }
  out[width] = '\0';
  return XB_OK;
}

namespace {
// A style of 8 or 10 characters written from the stored digits with its
// layout known at compile time: a few shifts and masks, no loop.
template <int kStyle, int kRun>
[[gnu::always_inline]] inline void MoveRun(uint64_t stored, uint64_t& low, uint64_t& high) {
  static constexpr DigitRun run = kDigitLayouts.style[kStyle - kMinStyle].runs[kRun];
  if constexpr (run.mask != 0) {
    const uint64_t moved = ((stored >> run.from) & run.mask) << run.to;
    if constexpr (run.high) {
      high |= moved;
    } else {
      low |= moved;
    }
  }
}

template <int kStyle>
int FormatWords(char* out, const char* digits) {
  static constexpr DigitLayout layout = kDigitLayouts.style[kStyle - kMinStyle];
  uint64_t stored;
  std::memcpy(&stored, digits, sizeof stored);
  if constexpr (std::endian::native == std::endian::big) stored = __builtin_bswap64(stored);
  uint64_t low = layout.separatorsLow, high = layout.separatorsHigh;
  static_assert(std::size(layout.runs) == 4);
  MoveRun<kStyle, 0>(stored, low, high);
  MoveRun<kStyle, 1>(stored, low, high);
  MoveRun<kStyle, 2>(stored, low, high);
  MoveRun<kStyle, 3>(stored, low, high);
  if constexpr (std::endian::native == std::endian::big) {
    low = __builtin_bswap64(low);
    high = __builtin_bswap64(high);
  }
  std::memcpy(out, &low, sizeof low);
  // Characters 8 and 9 and the NUL, or the NUL alone: never a byte more.
  if constexpr (layout.width == 10) {
    std::memcpy(out + 8, &high, 3);
  } else {
    out[8] = '\0';
  }
  return layout.width;
}

// A style of 6 characters: the digits and the separator side by side, one
// look-up per character.
template <int kStyle>
int FormatByPlaces(char* out, const char* digits) {
  static constexpr DigitLayout layout = kDigitLayouts.style[kStyle - kMinStyle];
  char source[kSeparatorAt + 1];
  std::memcpy(source, digits, kSeparatorAt);
  source[kSeparatorAt] = layout.separator;
  for (int i = 0; i < layout.width; ++i) out[i] = source[layout.from[i]];
  out[layout.width] = '\0';
  return layout.width;
}

// The Julian style needs the day of the year: the caller formats the date.
int FormatNeedsArithmetic(char*, const char*) {
  return 0;
}

template <int kStyle>
constexpr StoredDigitFormatter ChooseFormatter() {
  constexpr int width = kDigitLayouts.style[kStyle - kMinStyle].width;
  if constexpr (width == 0) {
    return &FormatNeedsArithmetic;
  } else if constexpr (width == 8 || width == 10) {
    return &FormatWords<kStyle>;
  } else {
    return &FormatByPlaces<kStyle>;
  }
}

template <int... kStyles>
constexpr auto MakeStoredDigitFormatters(std::integer_sequence<int, kStyles...>) {
  return std::array<StoredDigitFormatter, sizeof...(kStyles)>{
      ChooseFormatter<kStyles + kMinStyle>()...};
}
}  // namespace

const std::array<StoredDigitFormatter, kMaxStyle> kStoredDigitFormatters =
    MakeStoredDigitFormatters(std::make_integer_sequence<int, kMaxStyle>());

int16_t ToDayNumber(Ymd date, int32_t* dayNumber) {
  if (dayNumber == nullptr) return XB_E_NULL;
  if (CheckDate(date) != XB_OK) return XB_E_DATE;
  int64_t days = DaysInWholeYears(date.year - 1) + DayOfYear(date);
  *dayNumber = static_cast<int32_t>(days);
  return XB_OK;
}

int16_t FromDayNumber(int32_t dayNumber, Ymd* out) {
  if (out == nullptr) return XB_E_NULL;
  if (dayNumber < 1 || dayNumber >= kDayNumberLimit) return XB_E_DATE;

  // Estimate the whole years before the date, then walk to the right year:
  // the estimate can be one year short or long at some year ends.
  int year = static_cast<int>(dayNumber / 365.2425) + 1;
  int64_t dayOfYear = dayNumber - DaysInWholeYears(year - 1);
  while (dayOfYear < 1) {
    --year;
    dayOfYear += YearLength(year);
  }
  while (dayOfYear > YearLength(year)) {
    dayOfYear -= YearLength(year);
    ++year;
  }

  int month = 1;
  while (month < 12 && dayOfYear > DaysInMonth(year, month)) {
    dayOfYear -= DaysInMonth(year, month);
    ++month;
  }
  *out = Ymd{year, month, static_cast<int>(dayOfYear)};
  return XB_OK;
}

int16_t DayOfWeek(int32_t dayNumber, int* dayOfWeek) {
  if (dayOfWeek == nullptr) return XB_E_NULL;
  if (dayNumber < 1 || dayNumber >= kDayNumberLimit) return XB_E_DATE;
  *dayOfWeek = dayNumber % 7;
  return XB_OK;
}

const char* DayName(int dayOfWeek) {
  return dayOfWeek >= 0 && dayOfWeek <= 6 ? kDayNames[dayOfWeek] : nullptr;
}

const char* MonthName(int month) {
  return month >= 1 && month <= 12 ? kMonthNames[month - 1] : nullptr;
}

namespace {

constexpr size_t kTimeBytes = 9;  // "hh:mm:ss" and its NUL

// Writes the time in the style without checking the ranges.
void WriteTime(char* out, int style, Hms time) {
  WriteDigits(out, time.hour, 2);
  if (style == 1) {
    out[2] = ':';
    WriteDigits(out + 3, time.minute, 2);
    out[5] = ':';
    WriteDigits(out + 6, time.second, 2);
    out[8] = '\0';
  } else {
    WriteDigits(out + 2, time.minute, 2);
    out[4] = '\0';
  }
}

bool InRange(Hms time) {
  return time.hour >= 0 && time.hour <= 23 && time.minute >= 0 && time.minute <= 59 &&
         time.second >= 0 && time.second <= 59;
}

}  // namespace

int16_t ParseTime(const char* text, int style, Hms* out) {
  if (text == nullptr || out == nullptr) return XB_E_NULL;
  *out = Hms{};
  if (style != 1 && style != 2) return XB_E_ARGUMENT;

  size_t expected = style == 1 ? 8 : 4;
  if (strnlen(text, kTimeBytes) != expected) return XB_E_TIME;

  Hms time;
  int read = style == 1 ? std::sscanf(text, "%2d:%2d:%2d", &time.hour, &time.minute, &time.second)
                        : std::sscanf(text, "%2d%2d", &time.hour, &time.minute);
  if (read != (style == 1 ? 3 : 2)) return XB_E_TIME;
  if (!InRange(time)) return XB_E_TIME;

  // The text must be exactly what the numbers write back, so that stray
  // signs, spaces or short fields are refused; only the hour's leading zero
  // may be given as a space.
  char written[kTimeBytes];
  WriteTime(written, style, time);
  for (size_t i = 0; i < expected; ++i) {
    if (text[i] == written[i]) continue;
    if (i == 0 && text[0] == ' ' && written[0] == '0') continue;
    return XB_E_TIME;
  }
  *out = time;
  return XB_OK;
}

int16_t FormatTime(char* out, int style, Hms time) {
  if (out == nullptr) return XB_E_NULL;
  if (!InRange(time)) return XB_E_TIME;
  if (style != 1 && style != 2) return XB_E_ARGUMENT;
  WriteTime(out, style, time);
  return XB_OK;
}

}  // namespace kv::xb::date
