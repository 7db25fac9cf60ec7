// pclConnecteLibrairie, lAppelRPC and DeconnecteLibrairie.
#include <cstring>
#include <new>
#include <vector>

#include "comm/rpc/client_call.h"
#include "comm/rpc/client_state.h"
#include "comm/rpc/wire.h"
#include "kv/comm_rpc.h"

namespace kvrpc {

namespace {

// The state a client's service function works with during lAppelRPC.
thread_local ClientState* tCalling = nullptr;
thread_local long tOutcome = 0;

void CallService(clCHANNEL* channel, unsigned long record) {
  ChannelStream stream(channel);
  ClientState* state = tCalling;
  tOutcome =
      RunCall(stream, reinterpret_cast<KVRPC_CALL*>(record), state != nullptr && state->kind == 1,
              state != nullptr ? state->module.c_str() : "");
}

// A request with no parameters or one text, built as the library's own
// calls are.
std::vector<unsigned char> SimpleRequest(const ClientState& state, const char* function,
                                         const char* text, size_t textBytes) {
  CallHeader h;
  SetField(h.user, state.user.c_str());
  SetField(h.password, state.password.c_str());
  SetField(h.function, function);
  h.returnType = kTypeNone;
  h.parameterCount = text != nullptr ? 1 : 0;
  std::vector<unsigned char> request(kHeaderBytes + h.parameterCount * kEntryBytes);
  EncodeHeader(h, request.data());
  if (text != nullptr) {
    Descriptor d{kKindIn, kTypeUInt8, 1, static_cast<uint32_t>(textBytes)};
    EncodeDescriptor(d, request.data() + kHeaderBytes);
    const void* pointer = text;
    std::memcpy(request.data() + kHeaderBytes + kDescriptorBytes, &pointer, sizeof pointer);
  }
  return request;
}

long CallSimple(clCLIENT* client, ClientState& state, const char* function, const char* text,
                size_t textBytes) {
  std::vector<unsigned char> request = SimpleRequest(state, function, text, textBytes);
  KVRPC_REPLY reply{};
  KVRPC_CALL call{request.data(), &reply};
  return lAppelRPC(client, &call);
}

}  // namespace

ClientState* StateOf(clCLIENT* client) {
  return client != nullptr ? static_cast<ClientState*>(client->pGetUserCtx()) : nullptr;
}

}  // namespace kvrpc

KV_API long KV_CALL lAppelRPC(clCLIENT* client, KVRPC_CALL* call) {
  kvrpc::ClientState* state = kvrpc::StateOf(client);
  if (client == nullptr) return kvrpc::kClientRefused;
  if (state != nullptr && state->broken) return kvrpc::kClientRefused;
  kvrpc::tCalling = state;
  kvrpc::tOutcome = 0;
  client->Service(reinterpret_cast<unsigned long>(call));
  kvrpc::tCalling = nullptr;
  const long outcome = kvrpc::tOutcome;
  if (outcome == kvrpc::kClientRefused && state != nullptr) state->broken = true;
  return outcome;
}

KV_API clCLIENT* KV_CALL pclConnecteLibrairie(int kind, const char* serverAddress,
                                              const char* moduleName, unsigned int port,
                                              const char* userName, const char* password, long mode,
                                              long timeout) {
  if ((kind != 0 && kind != 1) || moduleName == nullptr || serverAddress == nullptr) return nullptr;
  kvrpc::ClientState* state = new (std::nothrow) kvrpc::ClientState;
  if (state == nullptr) return nullptr;
  state->kind = kind;
  state->hostCheck = moduleName[0] != '*';
  state->module = moduleName + (state->hostCheck ? 0 : 1);
  state->port = port;
  state->mode = mode;
  state->timeout = timeout;
  state->address = serverAddress;
  state->user = userName != nullptr ? userName : "";
  state->password = password != nullptr ? password : "";
  clCLIENT* client = new (std::nothrow)
      clCLIENT(kvrpc::CallService, serverAddress, timeout, port, userName, password, mode);
  if (client == nullptr) {
    delete state;
    return nullptr;
  }
  client->SetUserCtx(state);
  if (client->nInit() != 0) {
    delete client;
    delete state;
    return nullptr;
  }
  if (client->nConnect(nullptr, timeout, state->hostCheck ? 1 : 0) != 0 ||
      kvrpc::CallSimple(client, *state, "LoadLibrary", state->module.c_str(),
                        state->module.size() + 1) != 0) {
    client->nDisconnect();
    delete client;
    delete state;
    return nullptr;
  }
  return client;
}

KV_API void KV_CALL DeconnecteLibrairie(clCLIENT* client) {
  kvrpc::ClientState* state = kvrpc::StateOf(client);
  if (client == nullptr) return;
  if (state != nullptr && !state->broken)
    kvrpc::CallSimple(client, *state, "FreeLibrary", nullptr, 0);
  client->nDisconnect();
  delete client;
  delete state;
}
