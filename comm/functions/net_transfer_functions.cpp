// NetEnvoieFichier and NetRecupereFichier: a file sent to or fetched from
// the server of a connection, in a thread of its own that posts its
// progress to this machine's top-level windows.
#include "comm/functions/net_call.h"
#include "kv/comm_functions.h"
#include "platform/ui/messages.h"

using namespace kv::comm;

namespace {

// Syntax 1 names the progress message by number, syntax 2 by a text
// registered on this machine; syntax 0 asks for no progress.
void Progress(const CallBlock& call, unsigned& message, int& step) {
  message = 0;
  step = 0;
  if (call.syntaxIndex == 1) {
    message = static_cast<uint32_t>(kv::ext::ArgInt(call, 4));
  } else if (call.syntaxIndex == 2) {
    message = kvp::RegisterWindowMessageA(TextArg(call, 4));
  } else {
    return;
  }
  step = kv::ext::ArgInt(call, 5);
}

}  // namespace

int32_t KV_CALL NET_bNetEnvoieFichier(CallBlock* call) {
  if (!Accepted(call, NET_bNetEnvoieFichier) || !TakesResult(*call, kResultBool)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  if (client == nullptr) return SetBoolResult(*call, false);
  unsigned message;
  int step;
  Progress(*call, message, step);
  const bool started = nFTPPut(client, TextArg(*call, 2), TextArg(*call, 3), message, step) == 1;
  return SetBoolResult(*call, started);
}

int32_t KV_CALL NET_bNetRecupereFichier(CallBlock* call) {
  if (!Accepted(call, NET_bNetRecupereFichier) || !TakesResult(*call, kResultBool)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  if (client == nullptr) return SetBoolResult(*call, false);
  unsigned message;
  int step;
  Progress(*call, message, step);
  const bool started = nFTPGet(client, TextArg(*call, 2), TextArg(*call, 3), message, step) == 0;
  return SetBoolResult(*call, started);
}
