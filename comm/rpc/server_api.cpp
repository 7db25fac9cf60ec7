// pclStartServeur, bStopServeur and the two service functions.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "comm/net/service_threads.h"
#include "comm/rpc/file_service.h"
#include "comm/rpc/session.h"
#include "comm/rpc/sessions.h"
#include "comm/rpc/texts.h"
#include "kv/comm_rpc.h"
#include "platform/ui/message_box.h"

namespace {

struct Started {
  clSERVER* server;
  unsigned port;
};

std::mutex gServersMutex;
std::vector<Started> gServers;

void ShowError(long code, const char* caption) {
  kvrpc::ShowSocketError(static_cast<int>(code), caption);
}

}  // namespace

KV_API void KV_CALL ExecRPC(clCHANNEL* channel) {
  if (channel == nullptr) return;
  kvrpc::SessionEntry entry(channel);
  kvrpc::ChannelStream stream(channel);
  kvrpc::CallSession session;
  while (session.RunCycle(stream)) {
  }
  if (session.Finished()) kvrpc::ReceiveEndMarker(stream);
}

KV_API void KV_CALL ExecFTP(clCHANNEL* channel) {
  if (channel == nullptr) return;
  kvrpc::SessionEntry entry(channel);
  kvrpc::ChannelStream stream(channel);
  kvrpc::CallSession session;
  for (;;) {
    char word[4];
    if (!stream.Read(word, sizeof word)) break;
    if (std::memcmp(word, "PUT", 4) == 0) {
      if (!kvrpc::ServePut(stream)) break;
    } else if (std::memcmp(word, "GET", 4) == 0) {
      if (!kvrpc::ServeGet(stream)) break;
    } else if (std::memcmp(word, "RPC", 4) == 0) {
      if (!session.RunCycle(stream)) {
        if (session.Finished()) kvrpc::ReceiveEndMarker(stream);
        break;
      }
    } else {
      kvp::MessageBoxA(nullptr, kvrpc::kTextUnknownCommand, kvrpc::kCaptionFileServer,
                       kvp::MB_OK | kvp::MB_ICONSTOP);
    }
  }
}

KV_API clCONNECTED* KV_CALL pclStartServeur(int kind, unsigned int port, long mode) {
  KVNET_SERVER_SERVICE service = kind == 0 ? ExecRPC : kind == 1 ? ExecFTP : nullptr;
  if (service == nullptr) return nullptr;
  if (nInitWinSock() != 0) return nullptr;
  // bStopServeur waits for the service threads themselves, not only for the
  // sessions they ran: a thread still freeing its channel must not outlive
  // the library.
  kvnet::KeepServiceThreads(service);
  clSERVER* server = new (std::nothrow) clSERVER(service, port, mode);
  if (server == nullptr) {
    nEndWinSock();
    return nullptr;
  }
  kvrpc::AllowSessions(port);
  if (server->nInit() != 0 || server->nStart() != 0) {
    ShowError(server->nGetLastError(), "Serveur");
    delete server;
    nEndWinSock();
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(gServersMutex);
  gServers.push_back(Started{server, port});
  return server;
}

KV_API int KV_CALL bStopServeur(clCONNECTED* base) {
  unsigned port = 0;
  clSERVER* server = nullptr;
  {
    std::lock_guard<std::mutex> lock(gServersMutex);
    for (const Started& s : gServers) {
      if (static_cast<clCONNECTED*>(s.server) == base) {
        server = s.server;
        port = s.port;
      }
    }
  }
  if (server == nullptr) return 0;  // not a server this library started
  if (server->nStop() != 0) {
    ShowError(server->nGetLastError(), "WinMain");
    return 0;
  }
  kvrpc::EndSessions(port);
  kvnet::JoinServiceThreads(server);
  if (nEndWinSock() != 0) return 0;
  {
    std::lock_guard<std::mutex> lock(gServersMutex);
    gServers.erase(std::remove_if(gServers.begin(), gServers.end(),
                                  [server](const Started& s) { return s.server == server; }),
                   gServers.end());
  }
  delete server;
  return 1;
}
