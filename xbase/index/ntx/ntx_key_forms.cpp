#include "xbase/index/ntx/ntx_key_forms.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "xbase/date/date_core.h"

namespace kv::xb::ntx {
namespace {

// What "%0*.*f" writes for a number that is not negative, in the "C" locale
// whatever the process's locale: digits, a point when there are decimals,
// zeros in front up to `width`.
std::string FixedText(double magnitude, int width, int decimals) {
  std::string text;
  if (std::isnan(magnitude)) {
    text = "nan";
  } else if (std::isinf(magnitude)) {
    text = "inf";
  } else {
    char digits[400];
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude,
                                      std::chars_format::fixed, decimals);
    text.assign(digits, result.ptr);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
    return text;
  }
  // Printf pads words with blanks, not zeros.
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

}  // namespace

size_t NumericKeyText(double value, int width, int decimals, char* out) {
  if (width < 1) width = 1;
  // A header from elsewhere may name any number of decimals.
  if (decimals < 0) decimals = 0;
  if (decimals > 15) decimals = 15;
  const bool negative = std::signbit(value) && !std::isnan(value);
  if (!negative) {
    const std::string text = FixedText(value, width, decimals);
    std::memcpy(out, text.data(), static_cast<size_t>(width));
    out[width] = '\0';
    return static_cast<size_t>(width);
  }
  // The minus sign counts in the width; what follows it is kept.
  const std::string text = FixedText(-value, width - 1, decimals);
  const size_t n = static_cast<size_t>(width - 1);
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    out[i] = (c >= '0' && c <= '9') ? static_cast<char>(0x5C - c) : c;
  }
  out[n] = '\0';
  return n;
}

XBSTATUS DateKeyText(const char* text, int style, char* out) {
  date::Ymd ymd;
  const int16_t s = date::Parse(text, style, &ymd, false);
  if (s == 2) {
    std::memset(out, ' ', 8);
    out[8] = '\0';
    return 0;
  }
  if (s != 0) return s;
  char formatted[16] = {};
  const int16_t f = date::Format(formatted, 4, ymd);
  if (f != 0) return f;
  std::memcpy(out, formatted, 8);
  out[8] = '\0';
  return 0;
}

}  // namespace kv::xb::ntx
