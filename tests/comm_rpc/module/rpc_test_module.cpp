// The module the call server loads in the tests: functions of every
// parameter type, by value and by reference, a global block that the
// function replaces, and functions that fault.
#include <signal.h>

#include <cstdint>
#include <cstring>

#include "platform/kernel/memory.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
// The faults below are the point: the undefined-behaviour checks would stop
// the process before the processor faults.
#define FAULTING __attribute__((no_sanitize("undefined")))

TEST_EXPORT int8_t EchoI8(int8_t v) {
  return v;
}
TEST_EXPORT int16_t EchoI16(int16_t v) {
  return v;
}
TEST_EXPORT int32_t EchoI32(int32_t v) {
  return v;
}
TEST_EXPORT uint8_t EchoU8(uint8_t v) {
  return v;
}
TEST_EXPORT uint16_t EchoU16(uint16_t v) {
  return v;
}
TEST_EXPORT uint32_t EchoU32(uint32_t v) {
  return v;
}
TEST_EXPORT float EchoF32(float v) {
  return v;
}
TEST_EXPORT double EchoF64(double v) {
  return v;
}
TEST_EXPORT void Nothing() {}

// Every by-value type at once; the values land little-endian in `out`
// (1+2+4+1+2+4+4+8 = 26 bytes), and their sum comes back.
TEST_EXPORT double Record(int8_t a, int16_t b, int32_t c, uint8_t d, uint16_t e, uint32_t f,
                          float g, double h, unsigned char* out) {
  unsigned char* p = out;
  auto put = [&p](const void* v, size_t n) {
    std::memcpy(p, v, n);
    p += n;
  };
  put(&a, 1);
  put(&b, 2);
  put(&c, 4);
  put(&d, 1);
  put(&e, 2);
  put(&f, 4);
  put(&g, 4);
  put(&h, 8);
  return static_cast<double>(a) + b + c + d + e + f + static_cast<double>(g) + h;
}

TEST_EXPORT void ReverseBytes(unsigned char* buffer, uint32_t count) {
  for (uint32_t i = 0; i < count / 2; ++i) {
    const unsigned char t = buffer[i];
    buffer[i] = buffer[count - 1 - i];
    buffer[count - 1 - i] = t;
  }
}

TEST_EXPORT void FillTriples(int32_t* out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<int32_t>(i) * 3 - 7;
}
TEST_EXPORT void NegateInt8(int8_t* v, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) v[i] = static_cast<int8_t>(-v[i]);
}
TEST_EXPORT void IncrementInt16(int16_t* v, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) ++v[i];
}
TEST_EXPORT void IncrementUInt16(uint16_t* v, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) ++v[i];
}
TEST_EXPORT void DoubleUInt32(uint32_t* v, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) v[i] *= 2;
}
TEST_EXPORT void HalveFloats(float* v, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) v[i] /= 2;
}
TEST_EXPORT void ScaleDoubles(double* v, uint32_t count, double factor) {
  for (uint32_t i = 0; i < count; ++i) v[i] *= factor;
}
TEST_EXPORT uint32_t SumBytes(const unsigned char* v, uint32_t count) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < count; ++i) sum += v[i];
  return sum;
}

// Replaces the caller's global block by one of `size` bytes: byte i is
// (i * 7) & 0xFF, the first word says all of it goes back.
TEST_EXPORT void GrowBlock(void** slot, uint32_t size) {
  kvp::HGLOBAL old = *slot != nullptr ? kvp::GlobalHandle(*slot) : 0;
  if (old != 0) {
    kvp::GlobalUnlock(old);
    kvp::GlobalFree(old);
  }
  kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, size);
  unsigned char* bytes = static_cast<unsigned char*>(kvp::GlobalLock(block));
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  if (size >= 4) std::memcpy(bytes, &size, 4);
  *slot = bytes;
}

// Claims more bytes than the block has.
TEST_EXPORT void OverclaimBlock(void** slot, int32_t claim) {
  if (*slot != nullptr) std::memcpy(*slot, &claim, 4);
}

TEST_EXPORT FAULTING int32_t ReadNull() {
  volatile int32_t* nowhere = nullptr;
  return *nowhere;
}
TEST_EXPORT FAULTING int32_t Divide(int32_t a, int32_t b) {
  volatile int32_t divisor = b;
  return a / divisor;
}
TEST_EXPORT void Illegal() {
  __builtin_trap();
}
TEST_EXPORT void Breakpoint() {
  raise(SIGTRAP);
}
TEST_EXPORT void Misaligned() {
  raise(SIGBUS);
}

// Recurses until the stack runs out; the frames are kept by the volatile
// buffer and the use of the result.
// `limit` is larger than any stack holds; the check keeps the recursion
// finite in the compiler's eyes.
TEST_EXPORT FAULTING int32_t Recurse(int32_t depth, int32_t limit) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (depth >= limit) return frame[0];
  return Recurse(depth + 1, limit) + frame[0];
}
