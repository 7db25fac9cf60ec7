#include "host/serial_command.h"

#include <strings.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "host/serial_call_block.h"
#include "platform/commport/comm_state.h"
#include "platform/kernel/profile.h"

namespace kvhost {

namespace {

void ShowPort(const std::string& name) {
  char device[512] = {};
  const bool mapped = kvp::MapCommDeviceName(name.c_str(), device, sizeof device) > 0;
  char settings[256] = {};
  kvp::GetProfileStringA("Ports", (name + ":").c_str(), "", settings, sizeof settings);
  std::printf("  %-6s %-24s %s\n", name.c_str(), mapped ? device : "(no device)",
              settings[0] != '\0' ? settings : "(no line settings)");
}

int List() {
  std::printf("Ports (\"Ports\" section of win.ini: COMn.Device / LPTn.Device, COMn:):\n");
  for (int n = 1; n <= 8; ++n) ShowPort("COM" + std::to_string(n));
  for (int n = 1; n <= 3; ++n) ShowPort("LPT" + std::to_string(n));
  return 0;
}

// "COM3" -> 3, "LPT2" -> -2, as the language numbers ports.
bool PortNumber(const char* name, int32_t& port) {
  const bool com = strncasecmp(name, "COM", 3) == 0;
  const bool lpt = strncasecmp(name, "LPT", 3) == 0;
  if (!com && !lpt) return false;
  char* end = nullptr;
  const long n = std::strtol(name + 3, &end, 10);
  if (end == name + 3 || (*end != '\0' && std::strcmp(end, ":") != 0) || n < 0 || n > 32) {
    return false;
  }
  port = com ? static_cast<int32_t>(n) : -static_cast<int32_t>(n);
  return !(com && n == 0);
}

// "9600,n,8,1" -> the arguments of sFixeParametre (language parity codes:
// 0 none, 1 even, 2 odd, 3 mark, 4 space; stop codes 0, 1 (1.5), 2).
bool LineArguments(const std::string& text, int32_t& baud, int32_t& parity, int32_t& bits,
                   int32_t& stop) {
  char p = 0;
  char stopText[8] = {};
  if (std::sscanf(text.c_str(), "%d,%c,%d,%7s", &baud, &p, &bits, stopText) != 4) return false;
  switch (p) {
    case 'n':
    case 'N':
      parity = 0;
      break;
    case 'e':
    case 'E':
      parity = 1;
      break;
    case 'o':
    case 'O':
      parity = 2;
      break;
    case 'm':
    case 'M':
      parity = 3;
      break;
    case 's':
    case 'S':
      parity = 4;
      break;
    default:
      return false;
  }
  const std::string s = stopText;
  if (s == "1") {
    stop = 0;
  } else if (s == "1.5") {
    stop = 1;
  } else if (s == "2") {
    stop = 2;
  } else {
    return false;
  }
  return true;
}

int Open(int argc, char** argv) {
  int32_t port = 0;
  if (argc < 1 || !PortNumber(argv[0], port)) {
    std::fprintf(stderr, "%s", SerialUsage());
    return 2;
  }
  std::string settings, send;
  double seconds = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--settings") == 0 && i + 1 < argc) {
      settings = argv[++i];
    } else if (std::strcmp(argv[i], "--send") == 0 && i + 1 < argc) {
      send = argv[++i];
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "%s", SerialUsage());
      return 2;
    }
  }
  CommLibrary comm;
  std::string error;
  if (!comm.Load(error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  CommLibrary::Result opened = comm.Call("SERIE_bsOuvre", 0, {port, 0, 0});
  if (!opened.Boolean()) {
    if (!opened.english.empty()) {
      // Message 1: the port is open at the defaults.
      std::fprintf(stderr, "kvhost: %s\n", opened.english.c_str());
    } else {
      std::fprintf(stderr, "kvhost: cannot open %s\n", argv[0]);
      return 1;
    }
  }
  if (!settings.empty()) {
    int32_t baud = 0, parity = 0, bits = 0, stop = 0;
    if (!LineArguments(settings, baud, parity, bits, stop) ||
        !comm.Call("SERIE_bsFixeParametre", 0, {port, baud, parity, bits, stop}).Boolean()) {
      std::fprintf(stderr, "kvhost: the line does not take \"%s\"\n", settings.c_str());
      return 1;
    }
  }
  if (!send.empty()) comm.Call("SERIE_bsEcrit", 0, {port, CommLibrary::Text{send}});
  std::fprintf(stderr, "kvhost: %s open, showing what arrives%s\n", argv[0],
               seconds > 0 ? "" : " (stop with Ctrl-C)");
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  while (seconds <= 0 || std::chrono::steady_clock::now() < end) {
    const int32_t waiting = comm.Call("SERIE_bsDansFileEntree", 0, {port}).Integer();
    if (waiting > 0) {
      CommLibrary::Result read = comm.Call("SERIE_bsLit", 0, {port, 4096}, 4097);
      std::fwrite(read.bytes.data(), 1, read.bytes.size(), stdout);
      std::fflush(stdout);
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  comm.Call("SERIE_bsFerme", 0, {port});
  return 0;
}

}  // namespace

const char* SerialUsage() {
  return "  kvhost serial list               the port table: COMn and LPTn, their devices and "
         "line settings\n"
         "  kvhost serial open PORT [--settings \"9600,n,8,1\"] [--send TEXT] [--seconds N]\n"
         "                                   open COMn or LPTn and print what arrives\n";
}

int SerialCommand(int argc, char** argv) {
  if (argc >= 1 && std::strcmp(argv[0], "list") == 0) return List();
  if (argc >= 1 && std::strcmp(argv[0], "open") == 0) return Open(argc - 1, argv + 1);
  std::fprintf(stderr, "usage:\n%s", SerialUsage());
  return 2;
}

}  // namespace kvhost
