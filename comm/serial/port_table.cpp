#include "comm/serial/port_table.h"

#include <cstdlib>

#include "platform/kernel/files.h"

namespace kv::comm {

void InitPortTable(CommInstanceContext& instance) {
  for (void*& entry : instance.ports) entry = kvp::INVALID_HANDLE_VALUE;
}

void ClosePortTable(CommInstanceContext& instance) {
  for (void*& entry : instance.ports) {
    if (entry != kvp::INVALID_HANDLE_VALUE) kvp::CloseHandle(entry);
    entry = kvp::INVALID_HANDLE_VALUE;
  }
}

void** PortEntry(const CallBlock& call, int32_t port) {
  auto* instance = static_cast<CommInstanceContext*>(call.instance);
  // Outside -32..31 the entry would lie outside the table.
  if (instance == nullptr || port < -KV_COMM_PORT_BIAS ||
      port >= KV_COMM_PORT_COUNT - KV_COMM_PORT_BIAS) {
    return nullptr;
  }
  return &instance->ports[port + KV_COMM_PORT_BIAS];
}

void* OpenPort(const CallBlock& call, int32_t port) {
  void** entry = PortEntry(call, port);
  if (entry == nullptr || *entry == kvp::INVALID_HANDLE_VALUE) return nullptr;
  return *entry;
}

std::string PortDeviceName(int32_t port) {
  return port >= 1 ? "COM" + std::to_string(port)
                   : "LPT" + std::to_string(-static_cast<int64_t>(port));
}

}  // namespace kv::comm
