// Encoding and checking of the call protocol's headers and descriptors.
#include "comm/rpc/wire.h"

#include <cstring>

namespace kvrpc {

void PutLE(unsigned char* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t GetLE(const unsigned char* in, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

void EncodeHeader(const CallHeader& h, unsigned char* out) {
  PutLE(out + 0, h.version, 2);
  std::memcpy(out + 2, h.user, kNameField);
  std::memcpy(out + 34, h.password, kPasswordField);
  std::memcpy(out + 50, h.function, kNameField);
  PutLE(out + 82, h.returnType, 4);
  out[86] = h.reserved;
  PutLE(out + 87, h.resultSize, 2);
  PutLE(out + 89, h.parameterCount, 2);
  out[91] = h.wantReply;
  out[92] = h.calleePops;
}

CallHeader DecodeHeader(const unsigned char* in) {
  CallHeader h;
  h.version = static_cast<uint16_t>(GetLE(in + 0, 2));
  std::memcpy(h.user, in + 2, kNameField);
  std::memcpy(h.password, in + 34, kPasswordField);
  std::memcpy(h.function, in + 50, kNameField);
  h.returnType = static_cast<uint32_t>(GetLE(in + 82, 4));
  h.reserved = in[86];
  h.resultSize = static_cast<uint16_t>(GetLE(in + 87, 2));
  h.parameterCount = static_cast<uint16_t>(GetLE(in + 89, 2));
  h.wantReply = in[91];
  h.calleePops = in[92];
  return h;
}

void EncodeDescriptor(const Descriptor& d, unsigned char* out) {
  PutLE(out + 0, d.kind, 4);
  PutLE(out + 4, d.type, 4);
  out[8] = d.byReference;
  PutLE(out + 9, d.size, 4);
}

Descriptor DecodeDescriptor(const unsigned char* in) {
  Descriptor d;
  d.kind = static_cast<uint32_t>(GetLE(in + 0, 4));
  d.type = static_cast<uint32_t>(GetLE(in + 4, 4));
  d.byReference = in[8];
  d.size = static_cast<uint32_t>(GetLE(in + 9, 4));
  return d;
}

bool Terminated(const char* field, size_t width) {
  return std::memchr(field, '\0', width) != nullptr;
}

uint32_t ElementWidth(uint32_t type) {
  switch (type) {
    case kTypeNone:
    case kTypeInt8:
    case kTypeUInt8:
    case kTypeGlobalBlock:
      return 1;
    case kTypeInt16:
    case kTypeUInt16:
      return 2;
    case kTypeInt32:
    case kTypeUInt32:
    case kTypeFloat:
      return 4;
    case kTypeDouble:
      return 8;
    default:
      return 0;
  }
}

uint16_t ResultSizeOf(uint32_t returnType) {
  // A function returns no value of the "none" type, and a global block
  // travels only as a parameter; every other type returns one element.
  if (returnType == kTypeNone || returnType == kTypeGlobalBlock) return 0;
  return static_cast<uint16_t>(ElementWidth(returnType));
}

const char* CheckDescriptor(const Descriptor& d, uint64_t& bytesSoFar) {
  if (d.kind < kKindIn || d.kind > kKindInOut) return "kind";
  if (ElementWidth(d.type) == 0) return "type code";
  if (d.byReference > 1) return "reference flag";
  if (d.byReference == 0) {
    if (d.kind != kKindIn) return "value passed out";
    if (d.size > kMaxValueBytes) return "value size";
    return nullptr;
  }
  const uint64_t bytes = static_cast<uint64_t>(d.size) * ElementWidth(d.type);
  if (bytes > kMaxBufferBytes) return "buffer size";
  if (bytesSoFar + bytes > kMaxRequestBytes) return "request size";
  bytesSoFar += bytes;
  return nullptr;
}

uint32_t DataBytesAfter(const Descriptor& d) {
  if (d.byReference == 0) return d.size;
  return d.kind == kKindOut ? 0 : d.size;
}

}  // namespace kvrpc
