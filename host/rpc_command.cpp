// The rpc subcommands: a call or file server in the foreground, one remote
// call with typed arguments, and file transfers with a progress bar.
#include "host/rpc_command.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/comm_rpc.h"
#include "platform/net/winsock.h"

namespace kvhost {

namespace {

constexpr long kDefaultPort = 7001;

struct RpcOptions {
  long port = kDefaultPort;
  int kind = 0;
  long mode = 0;
  long timeout = 5000;
  const char* user = "";
  const char* password = "";
  const char* address = nullptr;
  const char* module = "kvcomm";
  std::string returns = "none";
  std::vector<const char*> positional;
};

bool ReadNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < low || number > high) return false;
  value = number;
  return true;
}

bool ReadOptions(int argc, char** argv, RpcOptions& o) {
  for (int i = 0; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    const char* a = argv[i];
    if (std::strcmp(a, "--port") == 0 && hasValue) {
      if (!ReadNumber(argv[++i], 1, 65535, o.port)) return false;
    } else if (std::strcmp(a, "--kind") == 0 && hasValue) {
      const char* kind = argv[++i];
      if (std::strcmp(kind, "call") == 0) {
        o.kind = 0;
      } else if (std::strcmp(kind, "file") == 0) {
        o.kind = 1;
      } else {
        return false;
      }
    } else if (std::strcmp(a, "--user") == 0 && hasValue) {
      o.user = argv[++i];
    } else if (std::strcmp(a, "--password") == 0 && hasValue) {
      o.password = argv[++i];
    } else if (std::strcmp(a, "--returns") == 0 && hasValue) {
      o.returns = argv[++i];
    } else if (std::strcmp(a, "--timeout") == 0 && hasValue) {
      if (!ReadNumber(argv[++i], -1, 600000, o.timeout)) return false;
    } else if (std::strcmp(a, "--address") == 0 && hasValue) {
      o.address = argv[++i];
    } else if (std::strcmp(a, "--module") == 0 && hasValue) {
      o.module = argv[++i];
    } else if (std::strcmp(a, "--scrambled") == 0) {
      o.mode = KVNET_MODE_SCRAMBLED;
    } else if (a[0] == '-' && a[1] == '-') {
      return false;
    } else {
      o.positional.push_back(a);
    }
  }
  return true;
}

// HOST[:PORT] into its parts; the port option gives the default.
bool SplitHost(const char* text, std::string& host, long& port) {
  host = text;
  const size_t colon = host.rfind(':');
  if (colon == std::string::npos) return !host.empty();
  if (!ReadNumber(host.c_str() + colon + 1, 1, 65535, port)) return false;
  host.resize(colon);
  return !host.empty();
}

struct TypeName {
  const char* name;
  uint32_t code;
  uint32_t width;
};
constexpr TypeName kTypes[] = {{"none", 1, 0}, {"i8", 2, 1},  {"i16", 3, 2},
                               {"i32", 4, 4},  {"u8", 5, 1},  {"u16", 6, 2},
                               {"u32", 7, 4},  {"f32", 8, 4}, {"f64", 9, 8}};

const TypeName* FindType(const std::string& name) {
  for (const TypeName& t : kTypes)
    if (name == t.name) return &t;
  return nullptr;
}

struct Argument {
  uint32_t type = 0;
  uint32_t size = 0;
  uint64_t bits = 0;
  std::vector<char> text;  // str: sent in and out, with its zero
};

bool ParseArgument(const char* text, Argument& a) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return false;
  const std::string name(text, colon);
  const char* value = colon + 1;
  if (name == "str") {
    a.type = 5;
    a.text.assign(value, value + std::strlen(value) + 1);
    a.size = static_cast<uint32_t>(a.text.size());
    return true;
  }
  const TypeName* type = FindType(name);
  if (type == nullptr || type->code == 1) return false;
  a.type = type->code;
  a.size = type->width;
  char* end = nullptr;
  if (type->code == 8) {
    const float f = std::strtof(value, &end);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    a.bits = bits;
  } else if (type->code == 9) {
    const double d = std::strtod(value, &end);
    std::memcpy(&a.bits, &d, 8);
  } else {
    a.bits = static_cast<uint64_t>(std::strtoll(value, &end, 0));
  }
  return end != value && *end == '\0';
}

void PutLE(unsigned char* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::string FormatResult(const TypeName& type, const unsigned char* r) {
  uint64_t raw = 0;
  for (uint32_t i = 0; i < type.width; ++i) raw |= uint64_t{r[i]} << (8 * i);
  char text[64];
  switch (type.code) {
    case 2:
      std::snprintf(text, sizeof text, "%d", static_cast<int8_t>(raw));
      break;
    case 3:
      std::snprintf(text, sizeof text, "%d", static_cast<int16_t>(raw));
      break;
    case 4:
      std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(raw));
      break;
    case 8: {
      float f;
      std::memcpy(&f, r, 4);
      std::snprintf(text, sizeof text, "%.9g", f);
      break;
    }
    case 9: {
      double d;
      std::memcpy(&d, r, 8);
      std::snprintf(text, sizeof text, "%.17g", d);
      break;
    }
    default:
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(raw));
  }
  return text;
}

int Serve(const RpcOptions& o) {
  if (o.address != nullptr) kvp::SetLocalAddressOverride(o.address);
  // Only this thread takes the stopping signals: the service threads
  // started below inherit the blocked set.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  clCONNECTED* server = pclStartServeur(o.kind, static_cast<unsigned>(o.port), o.mode);
  if (server == nullptr) return 1;
  // pszGetIPAddress fills a text of 256 bytes (zero-padded), whatever the
  // address's length.
  char address[256] = {};
  server->pszGetIPAddress(address);
  std::printf("%s server on %s port %ld\n", o.kind == 0 ? "call" : "file", address, o.port);
  std::fflush(stdout);
  int received = 0;
  sigwait(&stop, &received);
  const int stopped = bStopServeur(server);
  std::printf("stopped\n");
  return stopped == 1 ? 0 : 1;
}

clCLIENT* ConnectTo(const RpcOptions& o, const char* target, int kind, const std::string& module) {
  std::string host;
  long port = o.port;
  if (!SplitHost(target, host, port)) return nullptr;
  // A person's tool is not the host runtime: connect without asking for it.
  const std::string name = "*" + module;
  return pclConnecteLibrairie(kind, host.c_str(), name.c_str(), static_cast<unsigned>(port), o.user,
                              o.password, o.mode, o.timeout);
}

int Call(const RpcOptions& o) {
  if (o.positional.size() < 3) return 2;
  const TypeName* returns = FindType(o.returns);
  if (returns == nullptr) return 2;
  std::vector<Argument> arguments(o.positional.size() - 3);
  for (size_t i = 0; i < arguments.size(); ++i)
    if (!ParseArgument(o.positional[i + 3], arguments[i])) return 2;
  const char* function = o.positional[2];
  if (std::strlen(function) > 31) return 2;
  clCLIENT* client = ConnectTo(o, o.positional[0], o.kind, o.positional[1]);
  if (client == nullptr) {
    std::printf("status -1\n");
    return 1;
  }
  std::vector<unsigned char> request(93 + 21 * arguments.size(), 0);
  request[0] = 1;
  std::strncpy(reinterpret_cast<char*>(&request[2]), o.user, 31);
  std::strncpy(reinterpret_cast<char*>(&request[34]), o.password, 15);
  std::strncpy(reinterpret_cast<char*>(&request[50]), function, 31);
  PutLE(&request[82], returns->code, 4);
  PutLE(&request[87], returns->code == 1 ? 0 : 4, 2);
  PutLE(&request[89], arguments.size(), 2);
  request[91] = 1;
  request[92] = 1;
  size_t outs = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    Argument& a = arguments[i];
    unsigned char* entry = &request[93 + 21 * i];
    const bool text = !a.text.empty();
    PutLE(entry, text ? 3 : 1, 4);
    PutLE(entry + 4, a.type, 4);
    entry[8] = text ? 1 : 0;
    PutLE(entry + 9, a.size, 4);
    if (text) {
      void* pointer = a.text.data();
      std::memcpy(entry + 13, &pointer, sizeof pointer);
      ++outs;
    } else {
      PutLE(entry + 13, a.bits, 8);
    }
  }
  std::vector<unsigned char> reply(sizeof(KVRPC_REPLY) + (outs + 1) * sizeof(KVRPC_OUT), 0);
  KVRPC_CALL call{request.data(), reinterpret_cast<KVRPC_REPLY*>(reply.data())};
  const long status = lAppelRPC(client, &call);
  std::printf("status %ld\n", status);
  if (status == 0 && returns->code != 1)
    std::printf("result %s\n", FormatResult(*returns, call.reply->result).c_str());
  for (const Argument& a : arguments)
    if (status == 0 && !a.text.empty()) std::printf("text %s\n", a.text.data());
  DeconnecteLibrairie(client);
  return status == 0 ? 0 : 1;
}

struct TransferWatch {
  int outcome = 0;
  bool drawn = false;
};

void DrawProgress(void* context, unsigned, int64_t done, int64_t total, int finished) {
  TransferWatch* watch = static_cast<TransferWatch*>(context);
  if (finished != 0) {
    watch->outcome = finished;
    return;
  }
  const int width = 40;
  const int filled = total > 0 ? static_cast<int>(done * width / total) : width;
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
               width - filled, "", total > 0 ? static_cast<int>(done * 100 / total) : 100);
  if (done >= total) std::fprintf(stderr, "\n");
  watch->drawn = true;
}

int Transfer(const RpcOptions& o, bool get) {
  if (o.positional.size() != 3) return 2;
  clCLIENT* client = ConnectTo(o, o.positional[0], 1, o.module);
  if (client == nullptr) return 1;
  TransferWatch watch;
  KVRPC_SetTransferObserver(DrawProgress, &watch);
  const char* from = o.positional[1];
  const char* to = o.positional[2];
  const bool started =
      get ? nFTPGet(client, from, to, 0x8000, 1) == 0 : nFTPPut(client, from, to, 0x8000, 1) == 1;
  if (started) KVRPC_WaitTransfers(-1);
  KVRPC_SetTransferObserver(nullptr, nullptr);
  DeconnecteLibrairie(client);
  if (watch.outcome == 1) std::printf("%s %s -> %s complete\n", get ? "get" : "put", from, to);
  return started && watch.outcome == 1 ? 0 : 1;
}

}  // namespace

const char* RpcUsage() {
  return "  kvhost rpc serve [--port P] [--kind call|file] [--address A] [--scrambled]\n"
         "                                   a call or file server from the current directory\n"
         "                                   (and its KVRPCSRV.INI) until Ctrl-C\n"
         "  kvhost rpc call HOST[:PORT] --user U --password P MODULE FUNCTION [TYPE:VALUE...]\n"
         "      [--returns TYPE] [--kind call|file] [--timeout MS] [--scrambled]\n"
         "                                   one remote call; TYPE is i8 i16 i32 u8 u16 u32 f32\n"
         "                                   f64, or str (a text sent and read back)\n"
         "  kvhost rpc put HOST[:PORT] --user U --password P FROM TO [--module M]\n"
         "      [--timeout MS] [--scrambled]  copy a local file to a file server\n"
         "  kvhost rpc get HOST[:PORT] --user U --password P FROM TO [--module M]\n"
         "      [--timeout MS] [--scrambled]  copy a file of a file server here\n";
}

int RpcCommand(int argc, char** argv) {
  if (argc < 1) return 2;
  RpcOptions o;
  if (!ReadOptions(argc - 1, argv + 1, o)) {
    std::fputs(RpcUsage(), stderr);
    return 2;
  }
  int code = 2;
  if (std::strcmp(argv[0], "serve") == 0 && o.positional.empty()) {
    code = Serve(o);
  } else if (std::strcmp(argv[0], "call") == 0) {
    code = Call(o);
  } else if (std::strcmp(argv[0], "put") == 0) {
    code = Transfer(o, false);
  } else if (std::strcmp(argv[0], "get") == 0) {
    code = Transfer(o, true);
  }
  if (code == 2) std::fputs(RpcUsage(), stderr);
  return code;
}

}  // namespace kvhost
