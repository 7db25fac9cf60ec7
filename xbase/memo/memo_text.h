// Text shaping shared by the memo families: the soft line breaks that
// wrapping inserts and that reading may remove.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::memo {

inline constexpr uint8_t kSoftBreak0 = 0x8D;
inline constexpr uint8_t kSoftBreak1 = 0x0A;
inline constexpr int kMinLineWidth = 10;
inline constexpr int kMaxLineWidth = 132;

// Removes every 0x8D 0x0A pair in place; returns the new length.
size_t RemoveSoftBreaks(uint8_t* text, size_t length);

// Wraps `text` at `width` (10..132) into `out`, a soft line break after
// every line but the last; `*written` receives the length. A line runs
// through a carriage return and the byte after it when the return lies
// within `width` bytes of the line start (and gets no soft break); otherwise
// it collects words, each with the one space that follows it, while the line
// stays at most `width` bytes long; a first word that does not fit takes the
// rest of the text when that fits, or is cut after `width` bytes.
XBSTATUS WrapLines(const uint8_t* text, size_t length, int width, MemoryBlock* out,
                   size_t* written);

}  // namespace kv::xb::memo
