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

// Reads a whole number as atol would (leading blanks, sign, digits), kept
// within the 32-bit range.
int32_t ParseInteger(const char* text, size_t length);

}  // namespace kv::xb
