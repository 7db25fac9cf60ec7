// The remote functions: each builds one call request for a helper the
// server exports and runs it through the client.
#include <cstring>
#include <vector>

#include "comm/rpc/client_state.h"
#include "comm/rpc/wire.h"
#include "kv/comm_rpc.h"

namespace kvrpc {

namespace {

struct Argument {
  uint32_t kind;
  uint32_t type;
  bool byReference;
  uint32_t size;
  uint64_t value;  // by value
  void* buffer;    // by reference
};

Argument Value(uint32_t value) {
  return Argument{kKindIn, kTypeUInt32, false, 4, value, nullptr};
}

Argument Buffer(uint32_t kind, void* buffer, long size) {
  return Argument{kind, kTypeUInt8, true, size > 0 ? static_cast<uint32_t>(size) : 0, 0, buffer};
}

// Runs the call; the 32-bit result (0 when the call failed).
uint32_t Call(clCLIENT* client, const char* function, const std::vector<Argument>& arguments,
              bool wantReply, bool calleePops, uint32_t returnType) {
  ClientState* state = StateOf(client);
  if (state == nullptr) return 0;
  CallHeader h;
  SetField(h.user, state->user.c_str());
  SetField(h.password, state->password.c_str());
  SetField(h.function, function);
  h.returnType = returnType;
  h.resultSize = returnType == kTypeNone ? 0 : 4;
  h.parameterCount = static_cast<uint16_t>(arguments.size());
  h.wantReply = wantReply ? 1 : 0;
  h.calleePops = calleePops ? 1 : 0;
  std::vector<unsigned char> request(kHeaderBytes + arguments.size() * kEntryBytes);
  EncodeHeader(h, request.data());
  size_t outs = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Argument& a = arguments[i];
    unsigned char* entry = request.data() + kHeaderBytes + i * kEntryBytes;
    EncodeDescriptor(Descriptor{a.kind, a.type, static_cast<uint8_t>(a.byReference), a.size},
                     entry);
    if (a.byReference) {
      std::memcpy(entry + kDescriptorBytes, &a.buffer, sizeof a.buffer);
    } else {
      PutLE(entry + kDescriptorBytes, a.value, 8);
    }
    if (a.kind != kKindIn) ++outs;
  }
  std::vector<unsigned char> reply(sizeof(KVRPC_REPLY) + outs * sizeof(KVRPC_OUT));
  KVRPC_CALL call{request.data(), reinterpret_cast<KVRPC_REPLY*>(reply.data())};
  if (lAppelRPC(client, &call) != 0 || !wantReply) return 0;
  return static_cast<uint32_t>(GetLE(call.reply->result, 4));
}

}  // namespace

}  // namespace kvrpc

using kvrpc::Buffer;
using kvrpc::Call;
using kvrpc::Value;

KV_API unsigned long KV_CALL REM_MessageBox(clCLIENT* client, void* window, char* text,
                                            long textSize, char* caption, long captionSize,
                                            unsigned long style) {
  return Call(
      client, "KVMessageBox",
      {Value(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))),
       Buffer(kvrpc::kKindInOut, text, textSize), Buffer(kvrpc::kKindInOut, caption, captionSize),
       Value(static_cast<uint32_t>(style))},
      true, true, kvrpc::kTypeUInt32);
}

KV_API void KV_CALL REM_PostMessage(clCLIENT* client, unsigned long window, unsigned long message,
                                    unsigned long wparam, unsigned long lparam) {
  Call(client, "KVPostMessage",
       {Value(static_cast<uint32_t>(window)), Value(static_cast<uint32_t>(message)),
        Value(static_cast<uint32_t>(wparam)), Value(static_cast<uint32_t>(lparam))},
       false, true, kvrpc::kTypeUInt32);
}

KV_API unsigned long KV_CALL REM_RegisterWindowMessage(clCLIENT* client, char* name,
                                                       long nameSize) {
  return Call(client, "KVRegisterWindowMessage", {Buffer(kvrpc::kKindInOut, name, nameSize)}, true,
              true, kvrpc::kTypeUInt32);
}

KV_API unsigned long KV_CALL REM_WinExec(clCLIENT* client, char* commandLine, long size,
                                         unsigned long show) {
  return Call(client, "KVWinExec",
              {Buffer(kvrpc::kKindInOut, commandLine, size), Value(static_cast<uint32_t>(show))},
              true, true, kvrpc::kTypeUInt32);
}

KV_API void KV_CALL KVPostBuffer(clCLIENT* client, unsigned long window, char* buffer,
                                 long bufferSize, unsigned long byteCount, unsigned long dataWord) {
  Call(client, "PostBuffer",
       {Value(static_cast<uint32_t>(window)), Buffer(kvrpc::kKindInOut, buffer, bufferSize),
        Value(static_cast<uint32_t>(byteCount)), Value(static_cast<uint32_t>(dataWord))},
       false, false, kvrpc::kTypeUInt32);
}

KV_API unsigned long KV_CALL KVGetLogicalDrives(clCLIENT* client) {
  return Call(client, "GetLogicalDrives", {}, true, false, kvrpc::kTypeUInt32);
}

KV_API void KV_CALL KVRecupDisqueLogique(clCLIENT* client, char* buffer, long size) {
  Call(client, "RecupDisqueLogique", {Buffer(kvrpc::kKindInOut, buffer, size)}, true, false,
       kvrpc::kTypeNone);
}

KV_API unsigned long KV_CALL KVDir(clCLIENT* client, char* pattern, long patternSize, char* buffer,
                                   long bufferSize) {
  return Call(
      client, "Dir",
      {Buffer(kvrpc::kKindIn, pattern, patternSize), Buffer(kvrpc::kKindOut, buffer, bufferSize)},
      true, false, kvrpc::kTypeUInt32);
}
