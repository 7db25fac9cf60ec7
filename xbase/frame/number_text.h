// Numbers stored as text in xBase files, read without regard to the
// process's locale (a host running with a decimal comma must still read
// "12.50" as twelve and a half).
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv::xb {

// Reads a decimal number as the C library's atof would in the "C" locale:
// leading blanks, an optional sign, digits with an optional '.', an optional
// exponent; reading stops at the first character that does not fit, and no
// number at all reads as 0.
double ParseDecimal(const char* text, size_t length);

// ParseDecimal storing the value at `out` (any alignment): a field read
// then has nothing left to do after the call.
void ParseDecimalInto(const char* text, size_t length, void* out);

// ParseDecimalInto for the text of a numeric field of `length` bytes and
// `decimals` decimal places: the same value, found sooner when the text has
// the shape the field's writer gives it.
void ParseFieldDecimalInto(const char* text, size_t length, unsigned decimals, void* out);

// The quick half of ParseFieldDecimalInto: a text of 8 to 16 bytes made of
// blanks, an optional '-' and digits running to its end, with a point right
// before the last `decimals` (1 to 7) digits when `decimals` is not 0, and
// at most 15 digits. Stores the value ParseDecimal gives and returns true;
// returns false, storing nothing, for any other text.
bool ReadFixedDecimal(const char* text, size_t length, unsigned decimals, double* value);

// ReadFixedDecimal as processors without SSE2 run it, with 64-bit words:
// the same answers on every text.
bool ReadFixedDecimalByWords(const char* text, size_t length, unsigned decimals, double* value);

// Reads a whole number as atol would (leading blanks, sign, digits), kept
// within the 32-bit range.
int32_t ParseInteger(const char* text, size_t length);

}  // namespace kv::xb
