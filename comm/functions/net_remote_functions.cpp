// NetMessageBoxDistant, NetEnvoieMessage, NetEnvoieBuffer and NetExecute:
// what a connection lets the program do on the remote machine's desktop.
#include "comm/functions/net_call.h"
#include "kv/comm_functions.h"

using namespace kv::comm;

namespace {

// Messages go to every top-level window of the remote machine.
constexpr unsigned long kBroadcastWindow = 0xFFFF;
// Programs started remotely are shown normally.
constexpr unsigned long kShowNormal = 5;

}  // namespace

int32_t KV_CALL NET_bNetMessageBoxDistant(CallBlock* call) {
  if (!Accepted(call, NET_bNetMessageBoxDistant) || !TakesResult(*call, kResultInt)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  int32_t answer = 0;
  if (client != nullptr) {
    char* text = TextArg(*call, 2);
    char* caption = TextArg(*call, 3);
    answer = static_cast<int32_t>(REM_MessageBox(client, nullptr, text, TextSize(text), caption,
                                                 TextSize(caption),
                                                 static_cast<uint32_t>(kv::ext::ArgInt(*call, 4))));
  }
  return kv::ext::SetIntResult(*call, answer) ? 1 : 0;
}

int32_t KV_CALL NET_bNetEnvoieMessage(CallBlock* call) {
  if (!Accepted(call, NET_bNetEnvoieMessage)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  if (client == nullptr) return 0;
  const int16_t syntax = call->syntaxIndex;
  // Odd syntaxes name the message by a text registered on the remote side.
  unsigned long message;
  if (syntax % 2 == 1) {
    char* name = TextArg(*call, 2);
    message = REM_RegisterWindowMessage(client, name, TextSize(name));
  } else {
    message = static_cast<uint32_t>(kv::ext::ArgInt(*call, 2));
  }
  const unsigned long wparam = syntax >= 2 ? static_cast<uint32_t>(kv::ext::ArgInt(*call, 3)) : 0;
  const unsigned long lparam = syntax >= 4 ? static_cast<uint32_t>(kv::ext::ArgInt(*call, 4)) : 0;
  REM_PostMessage(client, kBroadcastWindow, message, wparam, lparam);
  return NoResult(*call);
}

int32_t KV_CALL NET_bNetEnvoieBuffer(CallBlock* call) {
  if (!Accepted(call, NET_bNetEnvoieBuffer) || !TakesResult(*call, kResultBool)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  if (client == nullptr) return SetBoolResult(*call, false);
  char* text = TextArg(*call, 2);
  const long size = TextSize(text);
  const unsigned long dataWord =
      call->syntaxIndex >= 1 ? static_cast<uint32_t>(kv::ext::ArgInt(*call, 3)) : 0;
  KVPostBuffer(client, kBroadcastWindow, text, size, static_cast<unsigned long>(size), dataWord);
  // The remote side sends no answer to wait for: the buffer went out.
  return SetBoolResult(*call, true);
}

int32_t KV_CALL NET_bNetExecute(CallBlock* call) {
  if (!Accepted(call, NET_bNetExecute)) return 0;
  clCLIENT* client = ConnectionArg(*call, 1);
  if (client == nullptr) return 0;
  char* line = TextArg(*call, 2);
  REM_WinExec(client, line, TextSize(line), kShowNormal);
  return NoResult(*call);
}
