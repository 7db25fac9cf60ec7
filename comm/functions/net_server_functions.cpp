// NetDemarreServeur, NetFinServeur, NetConnecte and NetDeconnecte: the
// servers and connections a program opens, entered in its instance's object
// list so that command 2 closes what the program left open.
#include "comm/functions/net_call.h"
#include "kv/comm_functions.h"

using namespace kv::comm;

namespace {

// Servers and clients listen and connect on 2000 + their kind unless the
// program names a port.
constexpr int32_t kBasePort = 2000;
constexpr int32_t kHighestPort = 65535;
// The module a connection loads on the server: this library itself, which
// asks for the host runtime in the calling process.
constexpr const char* kRemoteModule = "kvcomm";
constexpr long kDefaultTimeout = -1;

bool PortFrom(int32_t value, unsigned& port) {
  if (value < 0 || value > kHighestPort) return false;
  port = static_cast<unsigned>(value);
  return true;
}

}  // namespace

int32_t KV_CALL NET_bNetDemarreServeur(CallBlock* call) {
  if (!Accepted(call, NET_bNetDemarreServeur) || !TakesResult(*call, kResultInt)) return 0;
  const int16_t syntax = call->syntaxIndex;
  const int32_t kind = kv::ext::ArgInt(*call, 1);
  const long mode = syntax >= 1 ? kv::ext::ArgInt(*call, 2) : 0;
  int32_t id = 0;
  unsigned port = 0;
  const bool knownKind = kind == 0 || kind == 1;
  if (knownKind && PortFrom(syntax >= 2 ? kv::ext::ArgInt(*call, 3) : kBasePort + kind, port)) {
    clCONNECTED* server = pclStartServeur(kind, port, mode);
    if (server != nullptr) {
      id = RegisterObject(call->instance, ObjectKind::kServer, server);
      if (id == 0) bStopServeur(server);  // the list is full: nobody could stop it
    }
  }
  return kv::ext::SetIntResult(*call, id) ? 1 : 0;
}

int32_t KV_CALL NET_bNetFinServeur(CallBlock* call) {
  if (!Accepted(call, NET_bNetFinServeur) || !TakesResult(*call, kResultBool)) return 0;
  const int32_t id = kv::ext::ArgInt(*call, 1);
  auto* server = static_cast<clCONNECTED*>(FindObject(call->instance, id, ObjectKind::kServer));
  bool stopped = false;
  // A server whose socket service cannot end is kept, and stays listed so
  // that a later call or command 2 can try again.
  if (server != nullptr && bStopServeur(server) != 0) {
    RemoveObject(call->instance, id, ObjectKind::kServer);
    stopped = true;
  }
  return SetBoolResult(*call, stopped);
}

int32_t KV_CALL NET_bNetConnecte(CallBlock* call) {
  if (!Accepted(call, NET_bNetConnecte) || !TakesResult(*call, kResultInt)) return 0;
  const int16_t syntax = call->syntaxIndex;
  const int32_t kind = kv::ext::ArgInt(*call, 2);
  const long mode = syntax >= 1 ? kv::ext::ArgInt(*call, 5) : 0;
  const long timeout = syntax >= 2 ? kv::ext::ArgInt(*call, 6) : kDefaultTimeout;
  int32_t id = 0;
  unsigned port = 0;
  const bool knownKind = kind == 0 || kind == 1;
  if (knownKind && PortFrom(syntax >= 3 ? kv::ext::ArgInt(*call, 7) : kBasePort + kind, port)) {
    clCLIENT* client = pclConnecteLibrairie(kind, TextArg(*call, 1), kRemoteModule, port,
                                            TextArg(*call, 3), TextArg(*call, 4), mode, timeout);
    if (client != nullptr) {
      id = RegisterObject(call->instance, ObjectKind::kConnection, client);
      if (id == 0) DeconnecteLibrairie(client);
    }
  }
  return kv::ext::SetIntResult(*call, id) ? 1 : 0;
}

int32_t KV_CALL NET_bNetDeconnecte(CallBlock* call) {
  if (!Accepted(call, NET_bNetDeconnecte)) return 0;
  auto* client = static_cast<clCLIENT*>(
      RemoveObject(call->instance, kv::ext::ArgInt(*call, 1), ObjectKind::kConnection));
  if (client == nullptr) return 0;
  DeconnecteLibrairie(client);
  return NoResult(*call);
}
