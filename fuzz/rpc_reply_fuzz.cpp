// The client's reading of replies: a hostile server's bytes read into a
// call record whose shape the first input byte chooses (result type, out
// parameters in plain buffers, in global blocks, missing blocks).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "comm/rpc/client_call.h"
#include "comm/rpc/stream.h"
#include "comm/rpc/wire.h"
#include "platform/kernel/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t shape = data[0];
  kvrpc::CallHeader header;
  kvrpc::SetField(header.function, "Fuzzed");
  header.returnType = 1 + (shape & 0x0F) % 10;
  const unsigned outs = (shape >> 4) & 0x03;
  header.parameterCount = static_cast<uint16_t>(outs + 1);
  std::vector<unsigned char> request(kvrpc::kHeaderBytes + header.parameterCount * kvrpc::kEntryBytes);
  kvrpc::EncodeHeader(header, request.data());
  // One in parameter, then the out parameters.
  kvrpc::EncodeDescriptor(kvrpc::Descriptor{1, 4, 0, 4}, request.data() + kvrpc::kHeaderBytes);
  unsigned char plain[16];
  std::vector<kvp::HGLOBAL> blocks;
  for (unsigned i = 0; i < outs; ++i) {
    unsigned char* entry = request.data() + kvrpc::kHeaderBytes + (i + 1) * kvrpc::kEntryBytes;
    void* buffer = nullptr;
    kvrpc::Descriptor d{(shape & 0x40) != 0 ? 3u : 2u, 5, 1, sizeof plain};
    if (i == 0 && (shape & 0x80) != 0) {
      buffer = plain;
    } else if (i == 1) {
      d.type = 10;
      kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, 8);
      blocks.push_back(block);
      buffer = kvp::GlobalLock(block);
    }  // else no buffer: a block is made for data that comes
    kvrpc::EncodeDescriptor(d, entry);
    std::memcpy(entry + kvrpc::kDescriptorBytes, &buffer, sizeof buffer);
  }
  std::vector<unsigned char> reply(sizeof(KVRPC_REPLY) + outs * sizeof(KVRPC_OUT));
  kvrpc::MemoryStream stream(data + 1, size - 1);
  kvrpc::ReadReply(stream, request.data(), reinterpret_cast<KVRPC_REPLY*>(reply.data()), outs);
  // Free whatever blocks the record now points to, grown or new.
  for (unsigned i = 0; i < outs; ++i) {
    void* buffer = nullptr;
    std::memcpy(&buffer,
                request.data() + kvrpc::kHeaderBytes + (i + 1) * kvrpc::kEntryBytes +
                    kvrpc::kDescriptorBytes,
                sizeof buffer);
    if (buffer == plain || buffer == nullptr) continue;
    kvp::HGLOBAL block = kvp::GlobalHandle(buffer);
    if (block == 0) continue;
    kvp::GlobalUnlock(block);
    kvp::GlobalFree(block);
  }
  return 0;
}
