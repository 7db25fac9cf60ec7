#include "xbase/frame/number_text.h"

#include <charconv>

namespace kv::xb {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// At most 15 digits make an integer below 2^53 (exact as a double).
constexpr size_t kExactDigits = 15;
constexpr double kPowersOfTen[kExactDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

}  // namespace

double ParseDecimal(const char* text, size_t length) {
  size_t i = 0;
  // Numbers in fields are right-aligned: spaces first, cheaply.
  while (i < length && text[i] == ' ') ++i;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Find the end of the longest prefix of the form digits[.digits][e[+-]digits].
  const size_t start = i;
  size_t digits = 0;
  size_t fractionDigits = 0;
  uint64_t mantissa = 0;  // exact while digits <= 19
  while (i < length && IsDigit(text[i])) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
    ++digits;
  }
  if (i < length && text[i] == '.') {
    ++i;
    while (i < length && IsDigit(text[i])) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
      ++digits;
      ++fractionDigits;
    }
  }
  if (digits == 0) return 0.0;
  size_t end = i;
  if (i < length && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < length && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < length && IsDigit(text[j])) {
      while (j < length && IsDigit(text[j])) ++j;
      end = j;
    }
  }
  double value = 0.0;
  if (end == i && digits <= kExactDigits) {
    // The digits as an integer below 2^53 and a power of ten up to 10^15
    // are both exact doubles, so one division gives the correctly rounded
    // value, the same one from_chars finds. Field texts are nearly always
    // this short.
    value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return negative ? -value : value;
  }
  auto result = std::from_chars(text + start, text + end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone out of range; atof gives infinity
    // for a huge number and 0 for a tiny one. The decimal exponent of the
    // first significant digit tells which.
    long long magnitude = 0;
    bool seenPoint = false, seenDigit = false;
    size_t k = start;
    for (; k < end && text[k] != 'e' && text[k] != 'E'; ++k) {
      if (text[k] == '.') {
        seenPoint = true;
      } else if (!seenDigit && text[k] == '0') {
        if (seenPoint) --magnitude;
      } else {
        seenDigit = true;
        if (!seenPoint) ++magnitude;
      }
    }
    long long exponent = 0;
    if (k < end) {
      bool minus = text[k + 1] == '-';
      for (size_t j = k + 1; j < end; ++j) {
        if (IsDigit(text[j]) && exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
      }
      if (minus) exponent = -exponent;
    }
    value = magnitude + exponent > 0 ? __builtin_huge_val() : 0.0;
  }
  return negative ? -value : value;
}

int32_t ParseInteger(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  while (i < length && IsDigit(text[i])) {
    value = value * 10 + (text[i++] - '0');
    if (value > 0x80000000LL) value = 0x80000000LL;  // saturate
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace kv::xb
