// The stream scrambling of the socket layer: each byte is combined by
// exclusive or with (low byte of the socket's byte counter + 0x2D) mod 256,
// then the counter grows by one; when, after the increment, none of the
// counter's bits in 0x4FFFFFFF is set (first at 2^28) it goes back to 0.
// The mask sequence does not change at that point (2^28 and 0 share their
// low byte); the reset only keeps the counter from overflowing.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace kvnet {

inline constexpr uint8_t kScrambleKey = 0x2D;
inline constexpr int32_t kCounterResetMask = 0x4FFFFFFF;

inline uint8_t ScrambleMask(int32_t counter) {
  return static_cast<uint8_t>((static_cast<uint32_t>(counter) & 0xFF) + kScrambleKey);
}

inline int32_t NextCounter(int32_t counter) {
  const int32_t next = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1);
  return (next & kCounterResetMask) == 0 ? 0 : next;
}

// The counter after `count` more bytes. From any counter below 2^28 the
// increments reset exactly when 2^28 is reached, so this is a remainder; a
// counter at or above 2^28 (only one set by hand) takes the step-by-step way.
inline int32_t AdvanceCounter(int32_t counter, size_t count) {
  if (counter >= 0 && counter < (1 << 28)) {
    return static_cast<int32_t>((static_cast<uint64_t>(counter) + count) % (1u << 28));
  }
  for (size_t i = 0; i < count; ++i) counter = NextCounter(counter);
  return counter;
}

// Scrambles (or, the same operation, unscrambles) `length` bytes from `in`
// into `out` (which may be `in`) and advances `counter`. The reset keeps the
// low byte's sequence, so byte i takes the mask of (start + i): a loop the
// compiler turns into vector operations.
inline void Scramble(char* out, const char* in, size_t length, int32_t& counter) {
  const uint8_t first = ScrambleMask(counter);
  for (size_t i = 0; i < length; ++i) {
    out[i] = static_cast<char>(static_cast<uint8_t>(in[i]) ^ static_cast<uint8_t>(first + i));
  }
  counter = AdvanceCounter(counter, length);
}

}  // namespace kvnet
