#include "xbase/memo/memo_text.h"

namespace kv::xb::memo {

size_t RemoveSoftBreaks(uint8_t* text, size_t length) {
  size_t out = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == kSoftBreak0 && i + 1 < length && text[i + 1] == kSoftBreak1) {
      ++i;
      continue;
    }
    text[out++] = text[i];
  }
  for (size_t i = out; i < length; ++i) text[i] = 0;
  return out;
}

namespace {

// The length of the line starting at `start`; `*hard` tells whether it ends
// with a carriage return (and so needs no soft break).
size_t NextLine(const uint8_t* text, size_t length, size_t start, size_t width, bool* hard) {
  const size_t rest = length - start;
  *hard = false;
  for (size_t i = 0; i < width && i < rest; ++i) {
    if (text[start + i] == 0x0D) {
      *hard = true;
      return i + 2 <= rest ? i + 2 : rest;
    }
  }
  size_t line = 0;
  while (line < rest) {
    // One word with the space that follows it.
    size_t end = line;
    while (end < rest && text[start + end] != ' ') ++end;
    if (end < rest) ++end;
    if (end > width) break;
    line = end;
  }
  if (line == 0) return rest <= width ? rest : width;
  return line;
}

}  // namespace

XBSTATUS WrapLines(const uint8_t* text, size_t length, int width, MemoryBlock* out,
                   size_t* written) {
  // Each soft break follows a line of at least one byte: at most two bytes
  // are added per input byte.
  XBSTATUS s = out->Allocate(length * 3 + 1);
  if (s != 0) return s;
  uint8_t* dst = out->data();
  size_t n = 0;
  size_t pos = 0;
  while (pos < length) {
    bool hard = false;
    const size_t line = NextLine(text, length, pos, static_cast<size_t>(width), &hard);
    for (size_t i = 0; i < line; ++i) dst[n++] = text[pos + i];
    pos += line;
    if (pos < length && !hard) {
      dst[n++] = kSoftBreak0;
      dst[n++] = kSoftBreak1;
    }
  }
  *written = n;
  return 0;
}

}  // namespace kv::xb::memo
