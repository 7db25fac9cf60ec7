// NetAdresseIP and NetNomMachine: the addresses and the name of this machine
// or of another host.
#include "comm/functions/net_call.h"
#include "kv/comm_functions.h"
#include "kv/comm_net.h"

using namespace kv::comm;

int32_t KV_CALL NET_bNetAdresseIP(CallBlock* call) {
  if (!Accepted(call, NET_bNetAdresseIP)) return 0;
  char address[32] = {};  // a dotted address needs 16
  const char* found = nullptr;
  switch (call->syntaxIndex) {
    case 0:
      found = pszAdresseIPLocale(address, 0);
      break;
    case 1:
      found = pszAdresseIPLocale(address, kv::ext::ArgInt(*call, 1));
      break;
    case 2:
      found = pszAdresseIP(address, TextArg(*call, 1), 0);
      break;
    default:
      found = pszAdresseIP(address, TextArg(*call, 1), kv::ext::ArgInt(*call, 2));
      break;
  }
  return kv::ext::SetTextResult(*call, found != nullptr ? address : "") ? 1 : 0;
}

int32_t KV_CALL NET_bNetNomMachine(CallBlock* call) {
  if (!Accepted(call, NET_bNetNomMachine)) return 0;
  char name[260] = {};  // pszNomLocal writes at most 256
  const char* found = pszNomLocal(name);
  return kv::ext::SetTextResult(*call, found != nullptr ? name : "") ? 1 : 0;
}
