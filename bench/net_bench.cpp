// Loopback benchmarks of the socket classes against a plain C floor.
//
//   bench_net rtt ours|scrambled|floor COUNT
//       COUNT round trips of a 64-byte exchange; prints "round-trips/s N".
//       ours/scrambled: a clSERVER whose service echoes 64 bytes and a
//       clCLIENT; floor: the same exchange over bare POSIX sockets (both
//       with TCP_NODELAY, as the classes set it).
//   bench_net stream ours|scrambled BYTES
//       BYTES sent by a client in sends of 65530 and received by the
//       server's service in pieces of 65530; prints "seconds S".
//       The floor for the stream is socat (bench/run-net.sh).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace {

constexpr long kExchange = 64;
constexpr long kPiece = 65530;
std::atomic<long long> gStreamBytes{0};
std::atomic<bool> gStreamDone{false};

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

uint16_t FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("free port");
    std::exit(1);
  }
  ::close(s);
  return ntohs(address.sin_port);
}

void EchoExchange(clCHANNEL* channel) {
  char buffer[kExchange];
  while (channel->lRecv(buffer, kExchange) == kExchange &&
         channel->lSendAll(buffer, kExchange) == kExchange) {
  }
}

void DrainStream(clCHANNEL* channel) {
  std::string buffer(kPiece, '\0');
  const long long total = gStreamBytes.load();
  long long got = 0;
  while (got < total) {
    const long piece = total - got < kPiece ? static_cast<long>(total - got) : kPiece;
    if (channel->lRecv(buffer.data(), piece) != piece) break;
    got += piece;
  }
  gStreamDone = got == total;
}

// The server and client of the classes, on 127.0.0.1.
struct OursPair {
  std::unique_ptr<clSERVER> server;
  std::unique_ptr<clCLIENT> client;
  OursPair(KVNET_SERVER_SERVICE service, long mode) {
    kvp::SetLocalAddressOverride("127.0.0.1");
    const uint16_t port = FreePort();
    server = std::make_unique<clSERVER>(service, port, mode);
    client = std::make_unique<clCLIENT>(nullptr, "127.0.0.1", 1000, port, nullptr, nullptr, mode);
    if (server->nInit() != 0 || server->nStart() != 0 || client->nInit() != 0 ||
        client->nConnect(nullptr, 1000, 0) != 0) {
      std::fprintf(stderr, "cannot set up the classes: %ld %ld\n", server->nGetLastError(),
                   client->nGetLastError());
      std::exit(1);
    }
  }
  ~OursPair() {
    client->nDisconnect();
    server->nStop();
    nEndWinSock();
  }
};

double OursRoundTrips(long mode, long count) {
  OursPair pair(EchoExchange, mode);
  clCHANNEL* channel = pair.client->pclGetChannel();
  char buffer[kExchange];
  std::memset(buffer, 'r', sizeof buffer);
  const double start = Now();
  for (long i = 0; i < count; ++i) {
    if (channel->lSendAll(buffer, kExchange) != kExchange ||
        channel->lRecv(buffer, kExchange) != kExchange) {
      std::fprintf(stderr, "exchange %ld failed\n", i);
      std::exit(1);
    }
  }
  return count / (Now() - start);
}

bool ReadFull(int fd, char* data, size_t length) {
  size_t got = 0;
  while (got < length) {
    const ssize_t n = ::recv(fd, data + got, length - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFull(int fd, const char* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::send(fd, data + done, length - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

double FloorRoundTrips(long count) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(FreePort());
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 5) != 0) {
    std::perror("floor listen");
    std::exit(1);
  }
  std::thread server([&] {
    const int fd = ::accept(listener, nullptr, nullptr);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    char buffer[kExchange];
    while (ReadFull(fd, buffer, kExchange) && WriteFull(fd, buffer, kExchange)) {
    }
    ::close(fd);
  });
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("floor connect");
    std::exit(1);
  }
  char buffer[kExchange];
  std::memset(buffer, 'r', sizeof buffer);
  const double start = Now();
  for (long i = 0; i < count; ++i) {
    if (!WriteFull(fd, buffer, kExchange) || !ReadFull(fd, buffer, kExchange)) {
      std::fprintf(stderr, "floor exchange %ld failed\n", i);
      std::exit(1);
    }
  }
  const double rate = count / (Now() - start);
  ::close(fd);
  server.join();
  ::close(listener);
  return rate;
}

double OursStream(long mode, long long bytes) {
  gStreamBytes = bytes;
  gStreamDone = false;
  std::string block(kPiece, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31);
  const double start = Now();
  {
    OursPair pair(DrainStream, mode);
    clCHANNEL* channel = pair.client->pclGetChannel();
    long long sent = 0;
    while (sent < bytes) {
      const long piece = bytes - sent < kPiece ? static_cast<long>(bytes - sent) : kPiece;
      if (channel->lSendAll(block.data(), piece) != piece) {
        std::fprintf(stderr, "stream send failed\n");
        std::exit(1);
      }
      sent += piece;
    }
    while (!gStreamDone) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: bench_net rtt ours|scrambled|floor COUNT\n"
                 "       bench_net stream ours|scrambled BYTES\n");
    return 2;
  }
  const std::string what = argv[1];
  const std::string who = argv[2];
  const long long n = std::atoll(argv[3]);
  const long mode = who == "scrambled" ? KVNET_MODE_SCRAMBLED : 0;
  if (what == "rtt") {
    const double rate = who == "floor" ? FloorRoundTrips(static_cast<long>(n))
                                       : OursRoundTrips(mode, static_cast<long>(n));
    std::printf("round-trips/s %.0f\n", rate);
    return 0;
  }
  if (what == "stream" && who != "floor") {
    std::printf("seconds %.4f\n", OursStream(mode, n));
    return 0;
  }
  return 2;
}
