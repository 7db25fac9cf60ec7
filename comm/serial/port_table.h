// The instance's 64 port handles: port n (COMn for n >= 1, LPT|n| for
// n <= 0) uses entry n + 32.
#pragma once
#include <cstdint>
#include <string>

#include "kv/comm_instance.h"
#include "kv/ext_protocol.h"

namespace kv::comm {

// Marks every entry free (the all-ones handle).
void InitPortTable(CommInstanceContext& instance);
// Closes every open handle and marks its entry free.
void ClosePortTable(CommInstanceContext& instance);

// The table entry of port n in the call's instance; null when the call has
// no instance or the port lies outside the table.
void** PortEntry(const CallBlock& call, int32_t port);

// The open handle of port n, or null when it is not open (or not a port).
void* OpenPort(const CallBlock& call, int32_t port);

// "COM3" for 3, "LPT2" for -2, "LPT0" for 0.
std::string PortDeviceName(int32_t port);

}  // namespace kv::comm
