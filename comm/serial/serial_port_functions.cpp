// sOuvre, sFerme, sFixeParametre and sEchap: opening and closing ports,
// their line settings and their control lines.
#include <array>
#include <span>
#include <string_view>

#include "chart/ext/call_block.h"
#include "chart/ext/error_report.h"
#include "comm/serial/call_result.h"
#include "comm/serial/line_profile.h"
#include "comm/serial/port_table.h"
#include "comm/serial/serial_strings.h"
#include "kv/comm_serial.h"
#include "platform/commport/comm_state.h"
#include "platform/kernel/files.h"
#include "platform/kernel/profile.h"

using kv::ext::ArgInt;
using kv::ext::ArgText;
using kv::ext::SyntaxIndex;
using namespace kv::comm;

namespace {

constexpr int16_t kOnlySyntax = 0;
constexpr int16_t kLargestLineSyntax = 3;  // with DSR/DTR, RTS/CTS and XON/XOFF
constexpr uint16_t kReportKind = 1;

// The language's parity codes: 1 is even and 2 odd, the other way round
// from the platform's.
uint32_t PlatformParity(int32_t code) {
  switch (code) {
    case 0:
      return kvp::NOPARITY;
    case 1:
      return kvp::EVENPARITY;
    case 2:
      return kvp::ODDPARITY;
    case 3:
      return kvp::MARKPARITY;
    case 4:
      return kvp::SPACEPARITY;
    default:
      return static_cast<uint32_t>(code);  // refused by the platform below
  }
}

// Message 1 naming the port, in both languages.
int32_t ReportNoConfiguration(CallBlock& call, const std::string& device) {
  const std::string french = FormatMessage(kMessageNoPortConfiguration, device);
  const std::string english =
      FormatMessage(kMessageNoPortConfiguration + kv::ext::kEnglishTextOffset, device);
  const kv::ext::StringEntry texts[] = {
      {kMessageNoPortConfiguration, french.c_str()},
      {kMessageNoPortConfiguration + kv::ext::kEnglishTextOffset, english.c_str()},
  };
  const kv::ext::StringTable formatted({std::span<const kv::ext::StringEntry>(texts)});
  SetBoolResult(call, false);
  return kv::ext::ReportError(call, kReportKind, kMessageNoPortConfiguration, formatted);
}

}  // namespace

int32_t KV_CALL SERIE_bsOuvre(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  const int32_t port = ArgInt(*call, 1);
  void** entry = PortEntry(*call, port);
  if (entry == nullptr) return SetBoolResult(*call, false);
  // Opening an open port starts afresh: the old handle is closed first (it
  // would otherwise leak, and hold the device against the new open).
  if (*entry != kvp::INVALID_HANDLE_VALUE) {
    kvp::CloseHandle(*entry);
    *entry = kvp::INVALID_HANDLE_VALUE;
  }
  const std::string device = PortDeviceName(port);
  void* handle = kvp::CreateCommFileA(device.c_str(), kvp::GENERIC_READ | kvp::GENERIC_WRITE, 0,
                                      nullptr, kvp::OPEN_EXISTING, 0, nullptr);
  if (handle == kvp::INVALID_HANDLE_VALUE) return SetBoolResult(*call, false);
  *entry = handle;
  if (port <= 0) return SetBoolResult(*call, true);

  char settings[kPortEntryCapacity] = {};
  const std::string key = device + ":";
  kvp::GetProfileStringA("Ports", key.c_str(), "", settings, sizeof settings);
  kvp::DCB dcb;
  if (!kvp::GetCommState(handle, &dcb)) return SetBoolResult(*call, false);
  if (settings[0] != '\0') {
    ApplyPortEntry(settings, dcb);
    // Settings the line cannot take are a failure, not a success.
    return SetBoolResult(*call, kvp::SetCommState(handle, &dcb) != 0);
  }
  dcb.BaudRate = 9600;
  dcb.Parity = kvp::NOPARITY;
  dcb.ByteSize = 8;
  dcb.StopBits = kvp::ONESTOPBIT;
  kvp::SetCommState(handle, &dcb);
  return ReportNoConfiguration(*call, device);
}

int32_t KV_CALL SERIE_bsFerme(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  void** entry = PortEntry(*call, ArgInt(*call, 1));
  if (entry != nullptr && *entry != kvp::INVALID_HANDLE_VALUE) {
    kvp::CloseHandle(*entry);
    *entry = kvp::INVALID_HANDLE_VALUE;
  }
  call->resultType = kResultNone;
  return 1;
}

int32_t KV_CALL SERIE_bsFixeParametre(CallBlock* call) {
  if (call == nullptr) return 0;
  const int16_t syntax = SyntaxIndex(*call);
  if (syntax < 0 || syntax > kLargestLineSyntax) return 0;
  void* handle = OpenPort(*call, ArgInt(*call, 1));
  if (handle == nullptr) return SetBoolResult(*call, false);
  kvp::DCB dcb;
  if (!kvp::GetCommState(handle, &dcb)) return SetBoolResult(*call, false);

  const int32_t baud = ArgInt(*call, 2);
  const int32_t byteSize = ArgInt(*call, 4);
  const int32_t stopBits = ArgInt(*call, 5);
  const uint32_t parity = PlatformParity(ArgInt(*call, 3));
  // Values that do not fit the settings' members are refused rather than
  // cut to a different, valid-looking setting.
  if (baud <= 0 || byteSize < 0 || byteSize > 255 || stopBits < 0 || stopBits > 255 ||
      parity > 255) {
    return SetBoolResult(*call, false);
  }
  dcb.BaudRate = static_cast<uint32_t>(baud);
  dcb.ByteSize = static_cast<uint8_t>(byteSize);
  dcb.StopBits = static_cast<uint8_t>(stopBits);
  dcb.Parity = static_cast<uint8_t>(parity);

  const int32_t dsrDtr = syntax >= 1 ? ArgInt(*call, 6) : 0;
  const int32_t rtsCts = syntax >= 2 ? ArgInt(*call, 7) : 0;
  const int32_t xonXoff = syntax >= 3 ? ArgInt(*call, 8) : 0;
  dcb.fOutxDsrFlow = dsrDtr != 0 ? 1 : 0;
  dcb.fDtrControl = dsrDtr != 0 ? kvp::DTR_CONTROL_HANDSHAKE : kvp::DTR_CONTROL_ENABLE;
  dcb.fOutxCtsFlow = rtsCts != 0 ? 1 : 0;
  dcb.fRtsControl = rtsCts != 0 ? kvp::RTS_CONTROL_HANDSHAKE : kvp::RTS_CONTROL_ENABLE;
  dcb.fOutX = static_cast<uint32_t>(xonXoff) & 1;
  dcb.fInX = static_cast<uint32_t>(xonXoff) & 1;
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  dcb.XonLim = 100;
  dcb.XoffLim = 100;
  dcb.fBinary = 1;
  dcb.fParity = 1;
  return SetBoolResult(*call, kvp::SetCommState(handle, &dcb) != 0);
}

int32_t KV_CALL SERIE_bsEchap(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  struct Escape {
    std::string_view name;
    uint32_t function;
  };
  static constexpr std::array<Escape, 6> kEscapes = {{
      {"SETXOFF", kvp::SETXOFF},
      {"SETXON", kvp::SETXON},
      {"SETRTS", kvp::SETRTS},
      {"CLRRTS", kvp::CLRRTS},
      {"SETDTR", kvp::SETDTR},
      {"CLRDTR", kvp::CLRDTR},
  }};
  void* handle = OpenPort(*call, ArgInt(*call, 1));
  const char* text = ArgText(*call, 2);
  if (handle == nullptr || text == nullptr) return SetBoolResult(*call, false);
  const std::string_view wanted(text);
  for (const Escape& escape : kEscapes) {
    if (wanted.size() != escape.name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < wanted.size() && same; ++i) {
      char c = wanted[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == escape.name[i];
    }
    if (same) return SetBoolResult(*call, kvp::EscapeCommFunction(handle, escape.function) != 0);
  }
  return SetBoolResult(*call, false);
}
