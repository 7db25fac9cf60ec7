// Windows-1252, the code page of every text the host hands the libraries:
// the one table of the bytes 0x80..0x9F that differ from Latin-1, and the
// UTF-8 encoder that the converters around it share (used by the graphics
// layer's text output, the mail provider and kvhost).
#pragma once
#include <cstdint>
#include <string>

#include "platform/kernel/win_types.h"

namespace kvp {

// The Unicode code point of a Windows-1252 byte; 0 for the five bytes the
// code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D).
KVP_API uint32_t Cp1252CodePoint(unsigned char byte);

// Appends `codePoint` (below 0x10000) to `out` as UTF-8.
KVP_API void AppendUtf8(std::string& out, uint32_t codePoint);

}  // namespace kvp
