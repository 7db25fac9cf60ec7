// Results of kvcomm's language functions: booleans (type 3, a 16-bit value
// of length 2) and byte texts that may hold zeros (type 6, length given).
#pragma once
#include <cstdint>
#include <cstring>

#include "chart/ext/call_block.h"

namespace kv::comm {

inline constexpr uint8_t kResultBool = 3;

// Writes the boolean when the preset type and the buffer accept it; returns
// the boolean as the function's own result (0 when refused).
inline int32_t SetBoolResult(CallBlock& call, bool value) {
  if (!kv::ext::AcceptsResult(call, kResultBool) || call.resultBuffer == nullptr ||
      call.resultCapacity < sizeof(int16_t)) {
    return 0;
  }
  const int16_t word = value ? 1 : 0;
  std::memcpy(call.resultBuffer, &word, sizeof word);
  call.resultType = kResultBool;
  call.resultLength = sizeof word;
  return value ? 1 : 0;
}

// The room a text result may fill before its terminating zero; 0 when the
// preset type or the buffer refuses a text.
inline uint32_t TextResultRoom(const CallBlock& call) {
  if (!kv::ext::AcceptsResult(call, kResultText) || call.resultBuffer == nullptr ||
      call.resultCapacity == 0) {
    return 0;
  }
  return call.resultCapacity - 1;
}

// Closes a text result of `length` bytes already in the buffer (length at
// most TextResultRoom): the zero after them, the type and the length.
inline int32_t EndTextResult(CallBlock& call, uint32_t length) {
  if (!kv::ext::AcceptsResult(call, kResultText) || call.resultBuffer == nullptr ||
      call.resultCapacity == 0) {
    return 0;
  }
  static_cast<char*>(call.resultBuffer)[length] = '\0';
  call.resultType = kResultText;
  call.resultLength = length;
  return 1;
}

}  // namespace kv::comm
