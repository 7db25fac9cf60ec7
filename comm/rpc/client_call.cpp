// One call from the client's side.
#include "comm/rpc/client_call.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "comm/rpc/texts.h"
#include "comm/rpc/wire.h"
#include "platform/kernel/memory.h"
#include "platform/ui/message_box.h"

namespace kvrpc {

namespace {

unsigned char* Entry(unsigned char* request, size_t i) {
  return request + kHeaderBytes + i * kEntryBytes;
}

void* SlotPointer(const unsigned char* entry) {
  void* pointer = nullptr;
  std::memcpy(&pointer, entry + kDescriptorBytes, sizeof pointer);
  return pointer;
}

void SetSlotPointer(unsigned char* entry, void* pointer) {
  std::memcpy(entry + kDescriptorBytes, &pointer, sizeof pointer);
}

// Room for `size` bytes at the buffer of `entry`: the buffer itself when it
// holds them, a grown or new global block otherwise, null when refused.
unsigned char* RoomFor(unsigned char* entry, const Descriptor& d, uint32_t size) {
  void* buffer = SlotPointer(entry);
  kvp::HGLOBAL handle = buffer != nullptr ? kvp::GlobalHandle(buffer) : 0;
  size_t room = d.type == kTypeGlobalBlock ? (handle != 0 ? kvp::GlobalSize(handle) : 0) : d.size;
  if (d.type != kTypeGlobalBlock && handle != 0) room = std::min(room, kvp::GlobalSize(handle));
  if (size <= room && buffer != nullptr) return static_cast<unsigned char*>(buffer);
  if (size > kMaxBufferBytes) return nullptr;
  if (buffer != nullptr && handle == 0) return nullptr;  // a plain buffer cannot grow
  if (handle == 0) {
    handle = kvp::GlobalAlloc(kvp::GHND, size);
    if (handle == 0) return nullptr;
    buffer = kvp::GlobalLock(handle);
  } else {
    if (kvp::GlobalReAlloc(handle, size, kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT) == 0)
      return nullptr;
    // The lock count survives the move; one more lock gives the new address.
    buffer = kvp::GlobalLock(handle);
    kvp::GlobalUnlock(handle);
  }
  SetSlotPointer(entry, buffer);
  return static_cast<unsigned char*>(buffer);
}

}  // namespace

size_t OutParameters(const unsigned char* request) {
  const CallHeader h = DecodeHeader(request);
  size_t count = 0;
  for (size_t i = 0; i < h.parameterCount; ++i) {
    const Descriptor d = DecodeDescriptor(request + kHeaderBytes + i * kEntryBytes);
    if (d.kind == kKindOut || d.kind == kKindInOut) ++count;
  }
  return count;
}

std::vector<unsigned char> EncodeRequest(const unsigned char* request) {
  const CallHeader h = DecodeHeader(request);
  std::vector<unsigned char> bytes(request, request + kHeaderBytes);
  for (size_t i = 0; i < h.parameterCount; ++i) {
    const unsigned char* entry = request + kHeaderBytes + i * kEntryBytes;
    const Descriptor d = DecodeDescriptor(entry);
    bytes.insert(bytes.end(), entry, entry + kDescriptorBytes);
    const uint32_t data = DataBytesAfter(d);
    if (data == 0) continue;
    const unsigned char* from = d.byReference != 0
                                    ? static_cast<const unsigned char*>(SlotPointer(entry))
                                    : entry + kDescriptorBytes;
    if (from == nullptr) {  // a missing buffer goes as zeros rather than a crash
      bytes.insert(bytes.end(), data, 0);
    } else {
      bytes.insert(bytes.end(), from, from + std::min<uint32_t>(data, d.byReference ? data : 8));
      if (d.byReference == 0 && data > 8) bytes.insert(bytes.end(), data - 8, 0);
    }
  }
  return bytes;
}

long ReadReply(Stream& stream, unsigned char* request, KVRPC_REPLY* reply, size_t outSlots) {
  unsigned char fixed[6];
  if (!stream.Read(fixed, sizeof fixed)) return stream.Error() != 0 ? stream.Error() : 10054;
  reply->marker = static_cast<uint16_t>(GetLE(fixed, 2));
  reply->status = static_cast<int32_t>(GetLE(fixed + 2, 4));
  reply->resultSize = 0;
  std::memset(reply->result, 0, sizeof reply->result);
  if (reply->marker != 1) return kClientRefused;
  if (reply->status != kStatusOk) return reply->status;
  const CallHeader h = DecodeHeader(request);
  if (h.returnType != kTypeNone) {
    unsigned char size[2];
    if (!stream.Read(size, 2)) return stream.Error();
    const uint16_t resultSize = static_cast<uint16_t>(GetLE(size, 2));
    if (resultSize > sizeof reply->result) return kClientRefused;
    if (!stream.Read(reply->result, resultSize)) return stream.Error();
    reply->resultSize = resultSize;
  }
  size_t out = 0;
  for (size_t i = 0; i < h.parameterCount; ++i) {
    unsigned char* entry = Entry(request, i);
    const Descriptor d = DecodeDescriptor(entry);
    if (d.kind != kKindOut && d.kind != kKindInOut) continue;
    if (out >= outSlots) return kClientRefused;
    unsigned char sizeBytes[4];
    if (!stream.Read(sizeBytes, 4)) return stream.Error();
    const int32_t size = static_cast<int32_t>(GetLE(sizeBytes, 4));
    KVRPC_OUT slot{size, SlotPointer(entry)};
    if (size > 0) {
      if (d.byReference == 0) return kClientRefused;
      unsigned char* room = RoomFor(entry, d, static_cast<uint32_t>(size));
      if (room == nullptr) return kClientRefused;
      if (!stream.Read(room, static_cast<size_t>(size))) return stream.Error();
      slot.buffer = room;
    }
    std::memcpy(reinterpret_cast<unsigned char*>(reply->out) + out * sizeof(KVRPC_OUT), &slot,
                sizeof slot);
    ++out;
  }
  return 0;
}

long RunCall(Stream& stream, KVRPC_CALL* call, bool commandWord, const char* module) {
  if (call == nullptr || call->request == nullptr) return kClientRefused;
  std::vector<unsigned char> bytes;
  if (commandWord) bytes.assign({'R', 'P', 'C', 0});
  const std::vector<unsigned char> request = EncodeRequest(call->request);
  bytes.insert(bytes.end(), request.begin(), request.end());
  if (!stream.Write(bytes.data(), bytes.size())) {
    char text[128] = {};
    szTranslateError(text, stream.Error());
    kvp::MessageBoxA(nullptr, text, "", kvp::MB_OK | kvp::MB_ICONSTOP);
    return stream.Error();
  }
  const CallHeader h = DecodeHeader(call->request);
  if (h.wantReply == 0) return 0;
  if (call->reply == nullptr) return kClientRefused;
  const long outcome = ReadReply(stream, call->request, call->reply, OutParameters(call->request));
  char function[kNameField + 1] = {};
  std::memcpy(function, h.function, kNameField);
  if (call->reply->marker == 1 && call->reply->status != 0 && outcome == call->reply->status) {
    stream.Write("RPC KO", 6);
    char user[kNameField + 1] = {};
    std::memcpy(user, h.user, kNameField);
    const std::string text = StatusMessage(call->reply->status, function, module, user);
    kvp::MessageBoxA(nullptr, text.c_str(), kCaptionRpcError, kvp::MB_OK | kvp::MB_ICONSTOP);
  } else if (outcome == 0 && std::strcmp(function, "FreeLibrary") == 0) {
    stream.Write("RPC OK", 6);
  }
  return outcome;
}

}  // namespace kvrpc
