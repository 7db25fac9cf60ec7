#include "xbase/index/frame/key_compare.h"

#include "kv/xbase.h"
#include "xbase/frame/settings.h"
#include "xbase/index/frame/collating_table.h"

namespace kv::xb::index {
namespace {

int CompareBytes(const uint8_t* a, const uint8_t* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// IEEE numbers stored little-endian: the sign bit of the last byte first,
// then the magnitude from the most significant byte down; two negative
// numbers compare the other way round.
int CompareFloating(const uint8_t* a, const uint8_t* b, size_t length) {
  if (length == 0) return 0;
  const uint8_t lastA = a[length - 1];
  const uint8_t lastB = b[length - 1];
  const bool negA = (lastA & 0x80) != 0;
  const bool negB = (lastB & 0x80) != 0;
  if (negA != negB) return negA ? -1 : 1;
  int result = 0;
  if ((lastA & 0x7F) != (lastB & 0x7F)) {
    result = (lastA & 0x7F) < (lastB & 0x7F) ? -1 : 1;
  } else {
    for (size_t i = length - 1; i-- > 0;) {
      if (a[i] != b[i]) {
        result = a[i] < b[i] ? -1 : 1;
        break;
      }
    }
  }
  return negA ? -result : result;
}

// Little-endian integers from the most significant byte down; the result is
// the difference of the first unequal bytes.
int CompareUnsignedFromTop(const uint8_t* a, const uint8_t* b, size_t length, uint8_t topMask) {
  for (size_t i = length; i-- > 0;) {
    const uint8_t mask = i == length - 1 ? topMask : 0xFF;
    const int x = a[i] & mask;
    const int y = b[i] & mask;
    if (x != y) return x - y;
  }
  return 0;
}

int CompareSignedInteger(const uint8_t* a, const uint8_t* b, size_t length) {
  if (length == 0) return 0;
  const bool negA = (a[length - 1] & 0x80) != 0;
  const bool negB = (b[length - 1] & 0x80) != 0;
  if (negA != negB) return negA ? -1 : 1;
  return CompareUnsignedFromTop(a, b, length, 0x7F);
}

int CompareWithWildcard(const uint8_t* a, const uint8_t* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (a[i] == '?' || a[i] == b[i]) continue;
    return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace

int CompareCollated(const uint8_t* a, const uint8_t* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (a[i] == b[i]) continue;
    const int ra = CollatingRank(a[i]);
    const int rb = CollatingRank(b[i]);
    if (ra != rb) return ra < rb ? -1 : 1;
    // Neither byte is in the table: they count as equal.
  }
  return 0;
}

int CompareKeys(const uint8_t* a, const uint8_t* b, int type, size_t length) {
  switch (type) {
    case kCompareCharacter:
      return AsciiSort() == 0 ? CompareCollated(a, b, length) : CompareBytes(a, b, length);
    case kCompareDouble:
    case kCompareFloat:
      return CompareFloating(a, b, length);
    case kCompareUnsigned:
    case kCompareUnsigned2:
      return length == 0 ? 0 : CompareUnsignedFromTop(a, b, length, 0xFF);
    case kCompareSigned:
    case kCompareSigned2:
      return CompareSignedInteger(a, b, length);
    case kCompareWildcard:
      return CompareWithWildcard(a, b, length);
    default:
      return 0;
  }
}

}  // namespace kv::xb::index

KV_API int16_t KV_CALL _XBDNKCMP(const void* a, const void* b, int16_t type, int16_t length) {
  if (a == nullptr || b == nullptr || length <= 0) return 0;
  const int r =
      kv::xb::index::CompareKeys(static_cast<const uint8_t*>(a), static_cast<const uint8_t*>(b),
                                 type, static_cast<size_t>(length));
  return static_cast<int16_t>(r);
}
