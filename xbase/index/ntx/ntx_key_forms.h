// The text forms of NTX keys. Numeric keys are the number written with a
// fixed width and number of decimals, zero-padded; a negative number keeps
// only the characters after its minus sign, each digit c turned into the
// byte 0x5C - c, so that negatives sort before every positive key and among
// themselves by value. Date keys are yyyymmdd, eight blanks when empty.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"

namespace kv::xb::ntx {

// Writes the key of `value` for a key of `width` characters with `decimals`
// places into `out` (width + 1 bytes), NUL-terminated; returns its length:
// `width`, or width - 1 for a negative number. A number wider than the key
// keeps its first characters, as many as fit.
size_t NumericKeyText(double value, int width, int decimals, char* out);

// The date key (9 bytes with the NUL) of `text` in date style `style`; the
// status of the date parser otherwise (-15 invalid date, -12 unknown style).
XBSTATUS DateKeyText(const char* text, int style, char* out);

}  // namespace kv::xb::ntx
