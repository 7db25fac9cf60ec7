#include "xbase/frame/number_text.h"

#include <charconv>

namespace kv::xb {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double ParseDecimal(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Find the end of the longest prefix of the form digits[.digits][e[+-]digits].
  const size_t start = i;
  size_t digits = 0;
  while (i < length && IsDigit(text[i])) ++i, ++digits;
  if (i < length && text[i] == '.') {
    ++i;
    while (i < length && IsDigit(text[i])) ++i, ++digits;
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
