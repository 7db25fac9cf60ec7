// The net subcommands: a scan of an address range for a listening port, an
// echo server, and a client that sends one text and prints the echo.
//
// The echo exchange: a 4-byte little-endian length, then that many bytes,
// and the same back; plain or scrambled as the sockets' mode says.
#include "host/net_command.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/cp1252.h"
#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace kvhost {

namespace {

// Longest text the echo server takes.
constexpr unsigned long kMaxEcho = 1ul << 20;

struct NetOptions {
  long port = -1;
  long timeout = 1000;
  long mode = 0;
  const char* address = nullptr;
};

bool ReadNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < low || number > high) return false;
  value = number;
  return true;
}

// Reads the options after the positional arguments; false on a bad one.
bool ReadOptions(int argc, char** argv, int first, NetOptions& options) {
  for (int i = first; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--port") == 0 && hasValue) {
      if (!ReadNumber(argv[++i], 1, 65535, options.port)) return false;
    } else if (std::strcmp(argv[i], "--timeout") == 0 && hasValue) {
      if (!ReadNumber(argv[++i], -1, 600000, options.timeout)) return false;
    } else if (std::strcmp(argv[i], "--address") == 0 && hasValue) {
      options.address = argv[++i];
    } else if (std::strcmp(argv[i], "--scrambled") == 0) {
      options.mode = KVNET_MODE_SCRAMBLED;
    } else {
      return false;
    }
  }
  return true;
}

std::string ErrorText(long code) {
  char text[128];
  szTranslateError(text, static_cast<int>(code));
  return std::to_string(code) + " " + Cp1252ToUtf8(text);
}

void EchoService(clCHANNEL* channel) {
  for (;;) {
    unsigned long length = 0;
    if ((*channel >> length) != 0 || length > kMaxEcho) return;
    std::string bytes(length, '\0');
    if (channel->lRecv(bytes.data(), static_cast<long>(length)) != static_cast<long>(length))
      return;
    if ((*channel << length) != 0 ||
        channel->lSendAll(bytes.data(), static_cast<long>(length)) != static_cast<long>(length))
      return;
    std::printf("echoed %lu bytes\n", length);
    std::fflush(stdout);
  }
}

int Scan(const char* range, const NetOptions& options) {
  clCLIENT client(nullptr, range, options.timeout, static_cast<unsigned>(options.port), nullptr,
                  nullptr, options.mode);
  if (client.nInit() != 0) {
    std::fprintf(stderr, "kvhost: %s\n", ErrorText(client.nGetLastError()).c_str());
    return 1;
  }
  char text[256];
  std::snprintf(text, sizeof text, "%s", range);
  const int result = client.nConnect(text, options.timeout, 0);
  if (result != 0) {
    std::printf("no answer on port %ld in %s: %s\n", options.port, range,
                ErrorText(client.nGetLastError()).c_str());
    client.nDisconnect();
    return 1;
  }
  std::printf("answered: %s port %ld\n", client.pszGetServerAddress(), options.port);
  client.nDisconnect();
  return 0;
}

int EchoServer(const NetOptions& options) {
  if (options.address != nullptr) kvp::SetLocalAddressOverride(options.address);
  // The signals that stop the server are taken by this thread alone: block
  // them before any thread starts, so that every thread inherits the mask.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  clSERVER server(EchoService, static_cast<unsigned>(options.port), options.mode);
  if (server.nInit() != 0 || server.nStart() != 0) {
    std::fprintf(stderr, "kvhost: the server does not start: %s\n",
                 ErrorText(server.nGetLastError()).c_str());
    return 1;
  }
  char address[256] = "?";
  server.pszGetIPAddress(address);
  std::printf("echo server on %s port %ld (%s); Ctrl-C stops it\n", address, options.port,
              options.mode == KVNET_MODE_SCRAMBLED ? "scrambled" : "plain");
  std::fflush(stdout);
  int received = 0;
  sigwait(&stop, &received);
  server.nStop();
  nEndWinSock();
  std::printf("stopped\n");
  return 0;
}

int Send(const char* target, const char* text, const NetOptions& options) {
  const char* colon = std::strrchr(target, ':');
  long port = 0;
  if (colon == nullptr || !ReadNumber(colon + 1, 1, 65535, port)) return 2;
  const std::string host(target, colon);
  clCLIENT client(nullptr, host.c_str(), options.timeout, static_cast<unsigned>(port), nullptr,
                  nullptr, options.mode);
  if (client.nInit() != 0 || client.nConnect(nullptr, options.timeout, 0) != 0) {
    std::printf("no connection to %s: %s\n", target, ErrorText(client.nGetLastError()).c_str());
    return 1;
  }
  clCHANNEL* channel = client.pclGetChannel();
  const unsigned long length = std::strlen(text);
  unsigned long back = 0;
  std::string reply;
  bool ok = (*channel << length) == 0 &&
            channel->lSendAll(text, static_cast<long>(length)) == static_cast<long>(length) &&
            (*channel >> back) == 0 && back <= kMaxEcho;
  if (ok) {
    reply.resize(back);
    ok = channel->lRecv(reply.data(), static_cast<long>(back)) == static_cast<long>(back);
  }
  if (!ok) {
    std::printf("exchange failed: %s\n", ErrorText(channel->nGetLastError()).c_str());
    client.nDisconnect();
    return 1;
  }
  std::printf("reply: %s\n", reply.c_str());
  client.nDisconnect();
  return reply == text ? 0 : 1;
}

}  // namespace

const char* NetUsage() {
  return "  kvhost net scan RANGE --port P [--timeout MS] [--scrambled]\n"
         "                                   find the first address of RANGE (a.b.c.[x-y],\n"
         "                                   a.b.c.*, [x-y]@host) that accepts on port P\n"
         "  kvhost net echo-server --port P [--address A] [--scrambled]\n"
         "                                   echo every message on the local host's first\n"
         "                                   address (A pins it) until Ctrl-C\n"
         "  kvhost net send HOST:PORT TEXT [--timeout MS] [--scrambled]\n"
         "                                   send TEXT to an echo server, print the reply\n";
}

namespace {

int Dispatch(int argc, char** argv) {
  NetOptions options;
  if (argc >= 2 && std::strcmp(argv[0], "scan") == 0) {
    if (!ReadOptions(argc, argv, 2, options) || options.port < 0) return 2;
    return Scan(argv[1], options);
  }
  if (argc >= 1 && std::strcmp(argv[0], "echo-server") == 0) {
    if (!ReadOptions(argc, argv, 1, options) || options.port < 0) return 2;
    return EchoServer(options);
  }
  if (argc >= 3 && std::strcmp(argv[0], "send") == 0) {
    if (!ReadOptions(argc, argv, 3, options)) return 2;
    return Send(argv[1], argv[2], options);
  }
  return 2;
}

}  // namespace

int NetCommand(int argc, char** argv) {
  const int status = Dispatch(argc, argv);
  if (status == 2) std::fprintf(stderr, "usage:\n%s", NetUsage());
  return status;
}

}  // namespace kvhost
