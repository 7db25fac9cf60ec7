#include "xbase/index/mdx/mdx_numeric.h"

#include <cstdio>
#include <cstring>

namespace kv::xb::mdx {
namespace {

constexpr int kDigitBytes = 10;
constexpr uint8_t kExponentBase = 0x34;
constexpr uint8_t kSignByte = 5;
constexpr uint8_t kNegative = 0x80;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Packs the digits of `text` (stopping at anything else but a point) from
// key byte 2 on, at most 20 of them.
void PackDigits(const char* text, uint8_t* key) {
  int nibble = 0;
  for (const char* p = text; *p != '\0' && nibble < 2 * kDigitBytes; ++p) {
    if (*p == '.') continue;
    if (!IsDigit(*p)) break;
    const uint8_t digit = static_cast<uint8_t>(*p - '0');
    uint8_t& byte = key[2 + nibble / 2];
    byte = static_cast<uint8_t>(nibble % 2 == 0 ? byte | (digit << 4) : byte | digit);
    ++nibble;
  }
}

}  // namespace

void PutDecimalKey(uint8_t* key, double value) {
  // 1.0E308 with six decimals takes 316 characters.
  char text[400];
  std::snprintf(text, sizeof text, "%lf", value);
  std::memset(key, 0, 12);
  key[1] = kSignByte;
  const char* p = text;
  while (*p == ' ') ++p;
  if (*p == '-') {
    key[1] |= kNegative;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  while (*p == '0') ++p;
  int exponent = kExponentBase;
  if (*p == '.') {
    // No integer digits: the zeros after the point lower the exponent.
    ++p;
    while (*p == '0') {
      ++p;
      --exponent;
    }
  } else {
    for (const char* q = p; IsDigit(*q); ++q) ++exponent;
  }
  // Numbers beyond 10^203 would carry the exponent out of its byte and sort
  // among the small ones: they keep the greatest exponent instead.
  key[0] = static_cast<uint8_t>(exponent > 0xFF ? 0xFF : (exponent < 0 ? 0 : exponent));
  PackDigits(p, key);
}

int CompareDecimalKeys(const uint8_t* a, const uint8_t* b) {
  const bool negA = (a[1] & kNegative) != 0;
  const bool negB = (b[1] & kNegative) != 0;
  if (negA != negB) return negA ? -1 : 1;
  int result = 0;
  if (a[0] != b[0]) {
    result = a[0] < b[0] ? -1 : 1;
  } else {
    for (int i = 2; i < 12; ++i) {
      if (a[i] != b[i]) {
        result = a[i] < b[i] ? -1 : 1;
        break;
      }
    }
  }
  return negA ? -result : result;
}

}  // namespace kv::xb::mdx
