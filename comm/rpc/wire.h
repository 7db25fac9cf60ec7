// The call protocol's byte layouts: the 93-byte request header, the 13-byte
// parameter descriptor, the reply's fixed part, and the bounds this side
// puts on what a peer may announce. All numbers little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvrpc {

inline constexpr size_t kHeaderBytes = 93;
inline constexpr size_t kDescriptorBytes = 13;
inline constexpr size_t kEntryBytes = 21;  // descriptor + 8-byte value slot in a call record
inline constexpr size_t kNameField = 32;
inline constexpr size_t kPasswordField = 16;
inline constexpr size_t kTextBlock = 256;  // the transfer dialogue's text blocks

// What a peer may announce. A request or reply beyond them is refused before
// anything is allocated for it.
inline constexpr uint16_t kMaxParameters = 64;
inline constexpr uint32_t kMaxValueBytes = 8;
inline constexpr uint32_t kMaxBufferBytes = 16u << 20;   // one by-reference buffer
inline constexpr uint64_t kMaxRequestBytes = 64u << 20;  // all buffers of one request

enum TypeCode : uint32_t {
  kTypeNone = 1,
  kTypeInt8 = 2,
  kTypeInt16 = 3,
  kTypeInt32 = 4,
  kTypeUInt8 = 5,
  kTypeUInt16 = 6,
  kTypeUInt32 = 7,
  kTypeFloat = 8,
  kTypeDouble = 9,
  kTypeGlobalBlock = 10,
};

enum Kind : uint32_t { kKindIn = 1, kKindOut = 2, kKindInOut = 3 };

enum Status : int32_t {
  kStatusOk = 0,
  kStatusModule = 1,
  kStatusNoFunction = 2,
  kStatusBadParameter = 3,
  kStatusVersion = 4,
  kStatusLogin = 5,
  kStatusFirstException = 6,
  kStatusLastException = 26,
};

struct CallHeader {
  uint16_t version = 1;
  char user[kNameField] = {};
  char password[kPasswordField] = {};
  char function[kNameField] = {};
  uint32_t returnType = kTypeNone;
  uint8_t reserved = 0;
  uint16_t resultSize = 0;
  uint16_t parameterCount = 0;
  uint8_t wantReply = 1;
  uint8_t calleePops = 1;
};

struct Descriptor {
  uint32_t kind = kKindIn;
  uint32_t type = kTypeNone;
  uint8_t byReference = 0;
  uint32_t size = 0;
};

void EncodeHeader(const CallHeader& header, unsigned char* out);
CallHeader DecodeHeader(const unsigned char* in);
void EncodeDescriptor(const Descriptor& descriptor, unsigned char* out);
Descriptor DecodeDescriptor(const unsigned char* in);

// Sets a zero-terminated field from `text`, cut to the field.
template <size_t N>
void SetField(char (&field)[N], const char* text) {
  size_t i = 0;
  for (; text != nullptr && text[i] != '\0' && i + 1 < N; ++i) field[i] = text[i];
  for (; i < N; ++i) field[i] = '\0';
}

// True when the field holds its zero within its width.
bool Terminated(const char* field, size_t width);

// Width of one element of a type (the whole block counts as 1 for type 10);
// 0 for an unknown code.
uint32_t ElementWidth(uint32_t type);
// Size of the result a return type gives: 1, 2, 4, 8 or 0.
uint16_t ResultSizeOf(uint32_t returnType);
// Why a descriptor is refused, or null when it is sound. `bytesSoFar` is the
// total of the request's buffers before it; it receives the new total.
const char* CheckDescriptor(const Descriptor& descriptor, uint64_t& bytesSoFar);
// Bytes of data that follow a descriptor on the wire.
uint32_t DataBytesAfter(const Descriptor& descriptor);

void PutLE(unsigned char* out, uint64_t value, int width);
uint64_t GetLE(const unsigned char* in, int width);

}  // namespace kvrpc
