// Port names -> Linux devices. One table: COMn is /dev/ttyS(n-1), LPTn is
// /dev/lp(n-1); the "Ports" section of the system profile overrides either
// with a key "COMn.Device" (or "LPTn.Device") naming the device file.
#include <stdlib.h>

#include <cstring>
#include <string>

#include "platform/commport/comm_state.h"
#include "platform/kernel/ascii.h"
#include "platform/kernel/profile.h"

namespace kvp {

namespace {

constexpr const char* kPortsSection = "Ports";
constexpr const char* kDeviceKeySuffix = ".Device";
constexpr size_t kDevicePathCapacity = 512;
// Port numbers are small; the cap keeps the name arithmetic in range.
constexpr long kLargestPortNumber = 9999;

struct PortName {
  bool lpt = false;
  long number = 0;
  std::string canonical;  // "COM3", "LPT2"
};

bool ParsePortName(const char* text, PortName& port) {
  if (text == nullptr) return false;
  std::string_view name(text);
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  if (name.size() < 4 || name.size() > 7) return false;
  const std::string_view prefix = name.substr(0, 3);
  if (detail::EqualsNoCase(prefix, "COM")) {
    port.lpt = false;
  } else if (detail::EqualsNoCase(prefix, "LPT")) {
    port.lpt = true;
  } else {
    return false;
  }
  long number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > kLargestPortNumber || (!port.lpt && number == 0)) return false;
  port.number = number;
  port.canonical = std::string(port.lpt ? "LPT" : "COM") + std::to_string(number);
  return true;
}

bool ConfiguredOnly() {
  const char* value = ::getenv("KV_COMM_CONFIGURED_ONLY");
  return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

}  // namespace

DWORD MapCommDeviceName(const char* portName, char* buffer, DWORD size) {
  PortName port;
  if (!ParsePortName(portName, port)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  char configured[kDevicePathCapacity] = {};
  const std::string key = port.canonical + kDeviceKeySuffix;
  GetProfileStringA(kPortsSection, key.c_str(), "", configured, sizeof configured);
  std::string device = configured;
  if (device.empty()) {
    // LPT0 has no device of its own; a configured-only run never takes one.
    if (ConfiguredOnly() || port.number == 0) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    device = std::string(port.lpt ? "/dev/lp" : "/dev/ttyS") + std::to_string(port.number - 1);
  }
  if (buffer == nullptr || size <= device.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, device.c_str(), device.size() + 1);
  return static_cast<DWORD>(device.size());
}

}  // namespace kvp
