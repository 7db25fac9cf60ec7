#include "xbase/frame/number_text.h"

#include <bit>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {
constexpr uint64_t kSpaces = ' ' * kEachByte;
constexpr uint64_t kZeros = '0' * kEachByte;
constexpr uint64_t kLow7 = 0x7F * kEachByte;

// High bit set in each byte that is not a space, judged per byte (no carry
// crosses a byte).
uint64_t NonSpaceBytes(uint64_t word) {
  const uint64_t x = word ^ kSpaces;
  return (((x & kLow7) + kLow7) | x) & kHighBits;
}

// High bit set in each byte of `offsets` (the bytes minus '0', by xor) that
// is above 9, judged per byte.
uint64_t NotDigitValues(uint64_t offsets) {
  return (((offsets & kLow7) + 0x76 * kEachByte) | offsets) & kHighBits;
}

// True when the marked bytes (high bits) are the top ones of the word from
// the lowest marked one up: a run that reaches the word's end.
bool RunToTop(uint64_t marks) {
  return marks == (kHighBits & (0 - (marks & (0 - marks))));
}
}  // namespace

// The text is seen as 16 bytes, right-aligned: `high` holds its places 0..7
// (blanks where the text is shorter), `low` places 8..15, each word's lowest
// byte the earliest place. The point is taken out by moving the places
// before it one on, so that the digits stand together; then one pass over
// each word checks the shape and one multiplication chain per word gathers
// its digits. No byte outside the text is read.
namespace {
[[gnu::always_inline]] inline bool ReadFixed(const char* text, size_t length, unsigned decimals,
                                             double* value) {
  if (length < 8 || length > 16) return false;
  // Without a point 16 places could hold 16 digits; with one, the point must
  // lie in `low`.
  if (decimals == 0 ? length > 15 : decimals > 7) return false;
  const size_t fill = 16 - length;
  const uint64_t first = LoadLittleEndian(text);
  uint64_t low = LoadLittleEndian(text + length - 8);
  uint64_t high =
      fill >= 8 ? kSpaces : (first << (8 * fill)) | (kSpaces & ((uint64_t{1} << (8 * fill)) - 1));
  if (decimals != 0) {
    const unsigned at = 7 - decimals;  // the point's byte in `low`
    if (((low >> (8 * at)) & 0xFF) != '.') return false;
    const uint64_t before = (uint64_t{1} << (8 * (at + 1))) - 1;
    low = (low & ~before) | (((low << 8) | (high >> 56)) & before);
    high = (high << 8) | ' ';
  }
  const uint64_t usedHigh = NonSpaceBytes(high), usedLow = NonSpaceBytes(low);
  const uint64_t offsetsHigh = high ^ kZeros, offsetsLow = low ^ kZeros;
  const uint64_t otherHigh = NotDigitValues(offsetsHigh), otherLow = NotDigitValues(offsetsLow);
  // The last place must be a digit; the text's bytes other than blanks must
  // run to the end without a gap.
  if ((otherLow >> 63) != 0) return false;
  const bool startsHigh = usedHigh != 0;
  const uint64_t head = startsHigh ? usedHigh : usedLow;
  if (!RunToTop(head) || (startsHigh && usedLow != kHighBits)) return false;
  // Within the run only its first byte may be other than a digit: a '-'.
  const uint64_t lead = head & (0 - head);
  const uint64_t otherHead = (startsHigh ? otherHigh : otherLow) & head;
  if ((otherHead & ~lead) != 0 || (startsHigh && (otherLow & usedLow) != 0)) return false;
  bool negative = false;
  if (otherHead != 0) {
    const uint64_t word = startsHigh ? high : low;
    if (((word >> (std::countr_zero(lead) - 7)) & 0xFF) != '-') return false;
    negative = true;
  }
  // Blanks, the sign and the point's place count as zero digits.
  const uint64_t digitsHigh = offsetsHigh & ~((otherHigh >> 7) * 0xFF);
  const uint64_t digitsLow = offsetsLow & ~((otherLow >> 7) * 0xFF);
  const uint64_t mantissa = EightDigitsValue(digitsHigh) * 100000000 + EightDigitsValue(digitsLow);
  // As in ReadDecimal: at most 15 digits and a power of ten up to 10^7, both
  // exact, so one division rounds correctly.
  double result = static_cast<double>(mantissa);
  if (decimals != 0) result /= kPowersOfTen[decimals];
  *value = negative ? -result : result;
  return true;
}
}  // namespace

#if defined(__SSE2__)
// The same reading with the 16 places in one SSE2 register: compares and
// byte masks check the shape, multiply-adds of 16-bit lanes gather the
// digits (pairs, fours, eights), so that neither the shape nor the digits
// cost a branch per byte or a chain of 64-bit multiplications.
namespace {
// Lanes 0..15 - decimals (the point's lane and those before it) set: the
// places that take their neighbour's byte when the point is taken out.
struct PointMasks {
  alignas(16) uint8_t lanes[8][16];
};
constexpr PointMasks MakePointMasks() {
  PointMasks m{};
  for (unsigned d = 1; d < 8; ++d)
    for (unsigned lane = 0; lane <= 15 - d; ++lane) m.lanes[d][lane] = 0xFF;
  return m;
}
constexpr PointMasks kPointMasks = MakePointMasks();

[[gnu::always_inline]] inline bool ReadFixedVector(const char* text, size_t length,
                                                   unsigned decimals, double* value) {
  if (length < 8 || length > 16) return false;
  if (decimals == 0 ? length > 15 : decimals > 7) return false;
  if (decimals != 0 && text[length - 1 - decimals] != '.') return false;
  const __m128i spaces = _mm_set1_epi8(' ');
  // Places 0..7: the first eight bytes moved on by the fill, blanks before
  // them (a shift of 64 bits or more leaves nothing); places 8..15: the last
  // eight bytes.
  const __m128i fill = _mm_cvtsi32_si128(static_cast<int>(8 * (16 - length)));
  const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
  const __m128i last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + length - 8));
  const __m128i head = _mm_or_si128(
      _mm_sll_epi64(first, fill), _mm_andnot_si128(_mm_sll_epi64(_mm_set1_epi8(-1), fill), spaces));
  __m128i places = _mm_unpacklo_epi64(head, last);
  // Without the point: the places before it move one on, a blank enters.
  const __m128i before =
      _mm_load_si128(reinterpret_cast<const __m128i*>(kPointMasks.lanes[decimals]));
  const __m128i moved = _mm_or_si128(_mm_slli_si128(places, 1), _mm_cvtsi32_si128(' '));
  places = _mm_or_si128(_mm_and_si128(before, moved), _mm_andnot_si128(before, places));

  const __m128i offsets = _mm_sub_epi8(places, _mm_set1_epi8('0'));
  const __m128i digitLanes = _mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets);
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(digitLanes));
  const unsigned blanks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(places, spaces)));
  const unsigned minus =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(places, _mm_set1_epi8('-'))));
  // The last place a digit; blanks, then at most one '-', then digits to the end.
  if ((digits & 0x8000u) == 0) return false;
  const unsigned used = ~blanks & 0xFFFFu;
  const unsigned lead = used & (0u - used);
  const unsigned sign = minus & lead;
  if (used + lead != 0x10000u || (used & ~(digits | sign)) != 0) return false;

  // Blanks, the sign and the point's place count as zero digits.
  // Each 16-bit lane holds an earlier digit in its low byte and a later
  // one in its high byte: ten times the first plus the second.
  const __m128i values = _mm_and_si128(offsets, digitLanes);
  const __m128i pairs = _mm_add_epi16(
      _mm_mullo_epi16(_mm_and_si128(values, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10)),
      _mm_srli_epi16(values, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));  // (100, 1)
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(0x00012710));  // (10000, 1)
  // Two runs of at most eight digits, converted side by side: whole numbers
  // below 2^53, so the sum is exact, as is the power of ten; one division
  // rounds correctly.
  const __m128d runs = _mm_cvtepi32_pd(eights);
  double result = _mm_cvtsd_f64(runs) * 1e8 + _mm_cvtsd_f64(_mm_unpackhi_pd(runs, runs));
  if (decimals != 0) result /= kPowersOfTen[decimals];
  *value = sign != 0 ? -result : result;
  return true;
}
}  // namespace
#endif

bool ReadFixedDecimal(const char* text, size_t length, unsigned decimals, double* value) {
#if defined(__SSE2__)
  return ReadFixedVector(text, length, decimals, value);
#else
  return ReadFixed(text, length, decimals, value);
#endif
}

bool ReadFixedDecimalByWords(const char* text, size_t length, unsigned decimals, double* value) {
  return ReadFixed(text, length, decimals, value);
}

double ParseDecimal(const char* text, size_t length) {
  return ReadDecimal(text, length);
}

// Out of line: the field reader's quick half then saves fewer registers.
[[gnu::noinline]] void ParseDecimalInto(const char* text, size_t length, void* out) {
  const double value = ReadDecimal(text, length);
  std::memcpy(out, &value, sizeof value);
}

void ParseFieldDecimalInto(const char* text, size_t length, unsigned decimals, void* out) {
  double value;
#if defined(__SSE2__)
  if (!ReadFixedVector(text, length, decimals, &value)) [[unlikely]]
#else
  if (!ReadFixed(text, length, decimals, &value)) [[unlikely]]
#endif
    return ParseDecimalInto(text, length, out);
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
