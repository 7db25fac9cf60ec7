// kvcomm's remote services over loopback: round trips of an empty remote
// call, and a file sent to a file server (PUT), each in one process (the
// server's threads and the client's).
//
//   bench_rpc call MODULE N       prints "calls_per_second R"
//   bench_rpc put FROM TO         prints "seconds S" for the whole transfer
//
// The server runs from the current directory, which must hold
// KVRPCSRV.INI with user "bench", password "bench".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/comm_rpc.h"
#include "platform/net/winsock.h"

namespace {

uint16_t FreePort() {
  const kvp::SOCKET s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  kvp::sockaddr_in address{};
  address.sin_family = kvp::AF_INET_;
  address.sin_addr.s_addr = kvp::inet_addr("127.0.0.1");
  int length = sizeof address;
  kvp::bind(s, &address, sizeof address);
  kvp::getsockname(s, &address, &length);
  kvp::closesocket(s);
  return kvp::ntohs(address.sin_port);
}

int Fail(const char* what) {
  std::fprintf(stderr, "bench_rpc: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: bench_rpc call MODULE N | put FROM TO");
  kvp::SetLocalAddressOverride("127.0.0.1");
  nInitWinSock();
  const bool call = std::strcmp(argv[1], "call") == 0;
  const uint16_t port = FreePort();
  clCONNECTED* server = pclStartServeur(call ? 0 : 1, port, 0);
  if (server == nullptr) return Fail("no server");
  const std::string module = std::string("*") + (call ? argv[2] : "kvcomm");
  clCLIENT* client = pclConnecteLibrairie(call ? 0 : 1, "127.0.0.1", module.c_str(), port, "bench",
                                          "bench", 0, 5000);
  if (client == nullptr) return Fail("no client");
  int code = 0;
  if (call) {
    const long n = std::atol(argv[3]);
    std::vector<unsigned char> request(93, 0);
    request[0] = 1;
    std::strcpy(reinterpret_cast<char*>(&request[2]), "bench");
    std::strcpy(reinterpret_cast<char*>(&request[34]), "bench");
    std::strcpy(reinterpret_cast<char*>(&request[50]), "Empty");
    request[82] = 1;  // no result
    request[91] = 1;  // a reply is wanted
    request[92] = 1;
    KVRPC_REPLY reply{};
    KVRPC_CALL record{request.data(), &reply};
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < n; ++i)
      if (lAppelRPC(client, &record) != 0) return Fail("a call failed");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("calls_per_second %.0f\n", static_cast<double>(n) / seconds);
  } else {
    int outcome = 0;
    KVRPC_SetTransferObserver(
        [](void* context, unsigned, int64_t, int64_t, int finished) {
          if (finished != 0) *static_cast<int*>(context) = finished;
        },
        &outcome);
    const auto start = std::chrono::steady_clock::now();
    if (nFTPPut(client, argv[2], argv[3], 0, 0) != 1) return Fail("no transfer thread");
    KVRPC_WaitTransfers(-1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (outcome != 1) return Fail("the transfer failed");
    std::printf("seconds %.4f\n", seconds);
  }
  DeconnecteLibrairie(client);
  if (bStopServeur(server) != 1) code = Fail("the server did not stop");
  nEndWinSock();
  return code;
}
