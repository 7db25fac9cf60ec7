#include "xbase/frame/number_text.h"

#include <bit>
#include <charconv>
#include <cstring>

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

// Field texts are read eight bytes at a time: a word holds the bytes from
// a position with the first one lowest, and bytes past the text's end as
// zeros (which are neither blanks nor digits, so no scan runs past the end).
constexpr uint64_t kEachByte = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;

uint64_t LoadLittleEndian(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Up to eight bytes of [p, end), where `text` <= p is the start of the whole
// text: a short tail is taken from the last eight bytes of the text when it
// has that many, so that no byte outside the text is read.
uint64_t Window(const char* text, const char* p, const char* end) {
  const size_t left = static_cast<size_t>(end - p);
  if (left >= 8) return LoadLittleEndian(p);
  if (end - text >= 8) return LoadLittleEndian(end - 8) >> (8 * (8 - left));
  uint64_t word = 0;
  for (size_t k = 0; k < left; ++k) word |= uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
  return word;
}

// The eight digit values (0..9) of a word, the lowest byte the most
// significant digit, as one number: pairs, then fours, then the whole.
uint64_t EightDigitsValue(uint64_t values) {
  values = values * 10 + (values >> 8);
  return (((values & 0x000000FF000000FFu) * (100 + (uint64_t{1000000} << 32))) +
          (((values >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t{10000} << 32)))) >>
         32;
}

// High bit set in every byte of the word that is not a digit. Bytes below
// the lowest such byte are digits and cause no carry or borrow, so that
// byte and all below it are judged exactly (higher ones may not be).
uint64_t NonDigitBytes(uint64_t word) {
  return ((word + 0x46 * kEachByte) | (word - '0' * kEachByte) | word) & kHighBits;
}

constexpr uint64_t kScale[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

[[gnu::always_inline]] inline const char* SkipSpaces(const char* text, const char* p,
                                                     const char* end) {
  while (p < end) {
    const uint64_t other = Window(text, p, end) ^ (' ' * kEachByte);
    if (other != 0) return p + std::countr_zero(other) / 8;
    p += 8;
  }
  return end;
}

// Reads the digits from p on into `mantissa` (which wraps after 19 digits,
// as the one-digit loop did); returns the end of the run.
inline const char* ReadDigitRun(const char* text, const char* p, const char* end,
                                uint64_t& mantissa) {
  while (p < end) {
    const uint64_t word = Window(text, p, end);
    const uint64_t others = NonDigitBytes(word);
    const uint64_t values = word - '0' * kEachByte;
    if (others == 0) {
      mantissa = mantissa * 100000000 + EightDigitsValue(values);
      p += 8;
      continue;
    }
    const int run = std::countr_zero(others) / 8;
    if (run > 0) {
      // Shifting the run to the top leaves zero digits before it.
      mantissa = mantissa * kScale[run] + EightDigitsValue(values << (8 * (8 - run)));
    }
    return p + run;
  }
  return end;
}

// What the scan of a number text found.
struct Scanned {
  size_t start;           // first digit or point, after blanks and sign
  size_t i;               // first character after the digits
  size_t digits;          // digits read, both sides of the point
  size_t fractionDigits;  // digits after the point
  uint64_t mantissa;      // the digits as a whole number (exact up to 19)
  bool negative;
};

// The rare texts: an exponent, or more digits than a double holds exactly.
// Kept out of line so that the common case needs few registers.
[[gnu::noinline]] double ParseLongDecimal(const char* text, size_t length, const Scanned& n) {
  const size_t start = n.start, i = n.i, digits = n.digits, fractionDigits = n.fractionDigits;
  const uint64_t mantissa = n.mantissa;
  const bool negative = n.negative;
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
    // An 'e' without an exponent's digits: a short text after all.
    value = static_cast<double>(mantissa);
    if (fractionDigits != 0) value /= kPowersOfTen[fractionDigits];  // whole numbers: no division
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

}  // namespace

namespace {

[[gnu::always_inline]] inline double ReadDecimal(const char* text, size_t length) {
  const char* const textEnd = text + length;
  // Numbers in fields are right-aligned: spaces first, cheaply.
  size_t i = static_cast<size_t>(SkipSpaces(text, text, textEnd) - text);
  // Every blank is at most ' ': one comparison lets a digit or sign through.
  while (i < length && static_cast<unsigned char>(text[i]) <= ' ' && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Find the end of the longest prefix of the form digits[.digits][e[+-]digits].
  const size_t start = i;
  uint64_t mantissa = 0;  // exact while digits <= 19
  i = static_cast<size_t>(ReadDigitRun(text, text + i, textEnd, mantissa) - text);
  size_t digits = i - start;
  size_t fractionDigits = 0;
  if (i < length && text[i] == '.') {
    ++i;
    const size_t fractionStart = i;
    i = static_cast<size_t>(ReadDigitRun(text, text + i, textEnd, mantissa) - text);
    fractionDigits = i - fractionStart;
    digits += fractionDigits;
  }
  if (digits == 0) return 0.0;
  if ((i < length && (text[i] == 'e' || text[i] == 'E')) || digits > kExactDigits) [[unlikely]]
    return ParseLongDecimal(text, length,
                            Scanned{start, i, digits, fractionDigits, mantissa, negative});
  // The digits as an integer below 2^53 and a power of ten up to 10^15 are
  // both exact doubles, so one division gives the correctly rounded value,
  // the same one from_chars finds. Field texts are nearly always this short.
  double value = static_cast<double>(mantissa);
  if (fractionDigits != 0) value /= kPowersOfTen[fractionDigits];  // whole numbers: no division
  return negative ? -value : value;
}
}  // namespace

double ParseDecimal(const char* text, size_t length) {
  return ReadDecimal(text, length);
}

void ParseDecimalInto(const char* text, size_t length, void* out) {
  const double value = ReadDecimal(text, length);
  std::memcpy(out, &value, sizeof value);
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
